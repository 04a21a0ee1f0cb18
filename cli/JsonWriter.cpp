// The JSON output: one document for the whole run, written as it goes so
// that an archive with many entries never has to be held in memory:
//   {"command":..,"mode":..,"archives":[
//   {"archive":..,"entries":[
//   {entry},
//   {entry}
//   ],"readable":..,"problem":..,"summary":{..}}
//   ],"total":{..},"status":N}
#include <string>

#include "cli/Json.h"
#include "cli/ResultWriter.h"

namespace tessaly::cli {
namespace {

void TextOrNull(JsonObject& o, std::string_view key, const std::string& text) {
    if (text.empty())
        o.AddNull(key);
    else
        o.Add(key, text);
}

std::string ListedJson(const ListedEntry& e) {
    JsonObject o;
    o.AddNumber("index", e.index).Add("name", e.name);
    o.AddNumber("size", e.size).AddNumber("packedSize", e.packedSize);
    o.Add("sizeText", e.sizeText).Add("packedSizeText", e.packedSizeText);
    o.Add("ratio", e.ratio).Add("modified", e.modifiedTime);
    o.AddNumber("crc32", e.crc32).AddNumber("method", e.method);
    o.AddBool("encrypted", e.encrypted).AddBool("carriesData", e.carriesData);
    o.AddBool("skippedByExtract", !e.skipReason.empty());
    TextOrNull(o, "skipReason", e.skipReason);
    o.AddBool("cannotBeRead", !e.unreadable.empty());
    TextOrNull(o, "readProblem", e.unreadable);
    return o.Text();
}

// [[start, end], ...]: the byte ranges, each end one past its last byte.
std::string LostJson(const std::vector<ByteRange>& lost) {
    std::string text = "[";
    for (const ByteRange& range : lost) {
        if (text.size() > 1) text += ", ";
        text += "[" + std::to_string(range.start) + ", " + std::to_string(range.end) + "]";
    }
    return text + "]";
}

std::string ExtractedJson(const ExtractedEntry& e) {
    JsonObject o;
    o.AddNumber("index", e.index).Add("name", e.name).Add("outcome", PrintedOutcome(e));
    TextOrNull(o, "detail", e.detail);
    o.AddNumber("bytesWritten", e.bytesWritten);
    o.AddRaw("lost", LostJson(e.lost));
    if (!e.repaired) {
        TextOrNull(o, "path", e.outputPath);
        return o.Text();
    }
    JsonObject r;
    r.Add("action", RepairActionName(e.repaired->action)).Add("name", e.repaired->name);
    TextOrNull(r, "note", e.repaired->note);
    r.AddNumber("size", e.repaired->size).AddNumber("packedSize", e.repaired->packedSize);
    o.AddRaw("repair", r.Text());
    return o.Text();
}

std::string RepairJson(const RepairSummary& s) {
    JsonObject o;
    o.Add("output", s.output).AddBool("written", s.written).AddNumber("entries", s.entries);
    o.AddNumber("length", s.length);
    // Keys programs can name: "copied", "copiedUnverified", "recompressed", "partial", "leftOut".
    static const char* const kKeys[kRepairActionCount] = {"copied", "copiedUnverified", "recompressed", "partial",
                                                          "leftOut"};
    for (std::size_t i = 0; i < kRepairActionCount; ++i) o.AddNumber(kKeys[i], s.actions[i]);
    return o.Text();
}

const char* CommandWord(Command command) {
    switch (command) {
        case Command::List: return "list";
        case Command::Repair: return "repair";
        default: return "extract";
    }
}

std::string CountsJson(Command command, const ArchiveSummary& s) {
    JsonObject o;
    o.AddNumber("entries", s.entries);
    if (command == Command::List) {
        o.AddNumber("skippedByExtract", s.wouldSkip);
        o.AddNumber("cannotBeRead", s.unreadable);
    } else {
        for (std::size_t i = 0; i < kOutcomeCount; ++i)
            o.AddNumber(OutcomeName(static_cast<ExtractOutcome>(i)), s.outcomes[i]);
        o.AddNumber("interrupted", s.interrupted);
    }
    o.AddNumber("skippedWithData", s.skippedWithData);
    o.AddBool("stoppedByInterrupt", s.stopped);
    return o.Text();
}

class JsonWriter : public ResultWriter {
public:
    JsonWriter(Command command, int repairMode, std::FILE* out, std::FILE* err)
        : command_(command), out_(out), err_(err) {
        std::fprintf(out_, "{\"command\":\"%s\",\"mode\":\"%s\",\"archives\":[", CommandWord(command),
                     RepairModeWord(repairMode));
    }

    void BeginArchive(const ArchiveSummary& archive) override {
        JsonObject o;
        o.Add("archive", archive.archive);
        if (command_ == Command::Extract) o.Add("destination", archive.destination);
        if (command_ == Command::Repair) o.Add("output", archive.destination);
        std::string head = o.Text();
        head.pop_back();  // leave the object open for its entries
        std::fprintf(out_, "%s\n%s,\"entries\":[", archives_ > 0 ? "," : "", head.c_str());
        ++archives_;
        entries_ = 0;
    }

    void Listed(const ListedEntry& entry) override { PrintEntry(ListedJson(entry)); }
    void Extracted(const ExtractedEntry& entry) override { PrintEntry(ExtractedJson(entry)); }

    void EndArchive(const ArchiveSummary& s) override {
        AddToTotal(total_, s);
        PrintArchiveProblem(err_, s);
        JsonObject tail;
        tail.AddBool("readable", s.readable);
        if (s.problem.empty())
            tail.AddNull("problem");
        else
            tail.Add("problem", s.problem);
        if (s.cutRecordOffset)
            tail.AddNumber("endsInsideRecordAt", *s.cutRecordOffset);
        else
            tail.AddNull("endsInsideRecordAt");
        tail.AddRaw("summary", CountsJson(command_, s));
        if (s.repair) tail.AddRaw("repair", RepairJson(*s.repair));
        std::fprintf(out_, "\n],%s", tail.Text().c_str() + 1);  // closes the open object
    }

    void EndRun(int exitStatus) override {
        std::fprintf(out_, "\n],\"total\":%s,\"status\":%d}\n", CountsJson(command_, total_).c_str(), exitStatus);
        std::fflush(out_);
    }

private:
    void PrintEntry(const std::string& json) {
        std::fprintf(out_, "%s\n%s", entries_ > 0 ? "," : "", json.c_str());
        ++entries_;
    }

    Command command_;
    std::FILE* out_;
    std::FILE* err_;
    unsigned archives_ = 0;
    std::uint64_t entries_ = 0;
    ArchiveSummary total_;
};

}  // namespace

std::unique_ptr<ResultWriter> MakeJsonWriter(Command command, int repairMode, std::FILE* out, std::FILE* err) {
    return std::make_unique<JsonWriter>(command, repairMode, out, err);
}

}  // namespace tessaly::cli
