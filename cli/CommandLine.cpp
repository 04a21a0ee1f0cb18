#include "cli/CommandLine.h"

#include <cctype>

#include "core/Version.h"
#include "platform/FileSystem.h"

namespace tessaly::cli {
namespace {

// Digits only, at least 1, no more than 2^64 - 1.
std::optional<std::uint64_t> ParseCount(const std::string& digits) {
    if (digits.empty() || digits.size() > 20) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    if (value == 0) return std::nullopt;
    return value;
}

const char* CommandWord(Command command) {
    switch (command) {
        case Command::List: return "list";
        case Command::Extract: return "extract";
        case Command::Repair: return "repair";
        default: return "this command";
    }
}

// Walks the arguments once, filling the options; the first fault wins.
class ArgumentReader {
public:
    explicit ArgumentReader(const std::vector<std::string>& args) : args_(args) {}

    ParseResult Read() {
        if (args_.empty()) return Fail("no command given");
        if (!ReadCommand(args_[0])) return result_;
        for (next_ = 1; next_ < args_.size() && result_.error.empty(); ++next_) ReadArgument(args_[next_]);
        if (result_.error.empty()) CheckComplete();
        result_.ok = result_.error.empty();
        return result_;
    }

private:
    ParseResult Fail(const std::string& error) {
        if (result_.error.empty()) result_.error = error;
        result_.ok = false;
        return result_;
    }

    bool ReadCommand(const std::string& word) {
        CliOptions& o = result_.options;
        if (word == "list")
            o.command = Command::List;
        else if (word == "extract")
            o.command = Command::Extract;
        else if (word == "repair")
            o.command = Command::Repair;
        else if (word == "--help" || word == "-h" || word == "help")
            o.command = Command::Help;
        else if (word == "--version" || word == "-V")
            o.command = Command::Version;
        else if (!word.empty() && word[0] == '-')
            Fail("unknown option '" + word + "'");
        else
            Fail("unknown command '" + word + "'");
        return result_.error.empty();
    }

    void ReadArgument(const std::string& arg) {
        if (optionsEnded_ || arg.empty() || arg[0] != '-' || arg == "-") {
            result_.options.archives.push_back(PathFromUtf8(arg));
        } else if (arg == "--") {
            optionsEnded_ = true;
        } else if (arg == "--help" || arg == "-h") {
            helpAsked_ = true;
        } else if (arg == "--json") {
            result_.options.json = true;
        } else if (arg == "--mode" || arg.rfind("--mode=", 0) == 0) {
            ReadMode(arg == "--mode" ? TakeValue("--mode") : arg.substr(7));
        } else if (arg == "--resync" || arg == "--no-resync") {
            result_.options.resync = arg == "--resync";
        } else if (arg == "-d") {
            ReadDestination(TakeValue("-d"));
        } else if (arg == "-o") {
            ReadOutput(TakeValue("-o"));
        } else if (arg == "--partial" || arg.rfind("--partial=", 0) == 0) {
            ReadPartial(arg == "--partial" ? TakeValue("--partial") : arg.substr(10));
        } else if (arg == "--force") {
            result_.options.force = true;
            repairOnly_ = "--force";
        } else if (arg == "--password-file" || arg.rfind("--password-file=", 0) == 0) {
            ReadPasswordFile(arg == "--password-file" ? TakeValue("--password-file") : arg.substr(16));
        } else if (arg == "--max-ratio" || arg.rfind("--max-ratio=", 0) == 0) {
            ReadMaxRatio(arg == "--max-ratio" ? TakeValue("--max-ratio") : arg.substr(12));
        } else if (arg == "--max-size" || arg.rfind("--max-size=", 0) == 0) {
            ReadMaxSize(arg == "--max-size" ? TakeValue("--max-size") : arg.substr(11));
        } else if (arg == "--password" || arg.rfind("--password=", 0) == 0 || arg == "-p" || arg.rfind("-p", 0) == 0) {
            Fail("a password is never given on the command line: use --password-file FILE, or type it when asked");
        } else {
            Fail("unknown option '" + arg + "'");
        }
    }

    std::string TakeValue(const std::string& option) {
        if (next_ + 1 >= args_.size()) {
            Fail("option " + option + " needs a value");
            return {};
        }
        return args_[++next_];
    }

    void ReadMode(const std::string& value) {
        if (!result_.error.empty()) return;
        if (value == "quick")
            result_.options.repairMode = QuickRepair;
        else if (value == "advance")
            result_.options.repairMode = AdvanceRepair;
        else
            Fail("--mode takes 'quick' or 'advance', not '" + value + "'");
    }

    void ReadDestination(const std::string& value) {
        if (!result_.error.empty()) return;
        if (value.empty())
            Fail("-d needs a folder");
        else if (destinationSeen_)
            Fail("-d given more than once");
        // Windows takes either slash; the system's own keeps the paths the
        // report names (the destination and the files below it) in one form.
        result_.options.destination = PathFromUtf8(value);
        result_.options.destination.make_preferred();
        destinationSeen_ = true;
    }

    void ReadOutput(const std::string& value) {
        if (!result_.error.empty()) return;
        if (value.empty())
            Fail("-o needs a file");
        else if (!result_.options.output.empty())
            Fail("-o given more than once");
        result_.options.output = PathFromUtf8(value);
        result_.options.output.make_preferred();
        repairOnly_ = "-o";
    }

    void ReadPartial(const std::string& value) {
        if (!result_.error.empty()) return;
        if (value == "write")
            result_.options.partial = PartialEntries::Write;
        else if (value == "omit")
            result_.options.partial = PartialEntries::Omit;
        else
            Fail("--partial takes 'write' or 'omit', not '" + value + "'");
        repairOnly_ = "--partial";
    }

    void ReadPasswordFile(const std::string& value) {
        if (!result_.error.empty()) return;
        if (value.empty())
            Fail("--password-file needs a file");
        else if (!result_.options.passwordFile.empty())
            Fail("--password-file given more than once");
        result_.options.passwordFile = PathFromUtf8(value);
    }

    void ReadMaxRatio(const std::string& value) {
        if (!result_.error.empty()) return;
        const std::optional<std::uint64_t> ratio = ParseCount(value);
        if (!ratio)
            Fail("--max-ratio takes a whole number of at least 1, not '" + value + "'");
        else
            result_.options.limits.ratio = *ratio;
        limitGiven_ = "--max-ratio";
    }

    void ReadMaxSize(const std::string& value) {
        if (!result_.error.empty()) return;
        const std::optional<std::uint64_t> size = ParseByteCount(value);
        if (!size)
            Fail("--max-size takes a size of at least 1 byte (such as 500M or 2G), not '" + value + "'");
        else
            result_.options.limits.size = *size;
        limitGiven_ = "--max-size";
    }

    void CheckComplete() {
        CliOptions& o = result_.options;
        if (helpAsked_) {
            o.command = Command::Help;
            return;
        }
        if (o.command == Command::Help || o.command == Command::Version) return;
        if (o.command == Command::Extract && !destinationSeen_)
            Fail("extract needs a destination folder: -d DIR");
        else if (o.command != Command::Extract && destinationSeen_)
            Fail(std::string("-d belongs to extract, not to ") + CommandWord(o.command));
        else if (o.command == Command::List && !limitGiven_.empty())
            Fail(limitGiven_ + " belongs to extract and repair, not to list");
        else if (o.command != Command::Repair && !repairOnly_.empty())
            Fail(repairOnly_ + " belongs to repair, not to " + CommandWord(o.command));
        else if (o.command == Command::Repair && o.output.empty())
            Fail("repair needs the file to write the repaired archive to: -o FILE");
        else if (o.archives.empty())
            Fail("no archive given");
        else if (o.command == Command::Repair && o.archives.size() > 1)
            Fail("repair takes one archive at a time");
    }

    const std::vector<std::string>& args_;
    ParseResult result_;
    std::size_t next_ = 0;
    bool optionsEnded_ = false;
    bool helpAsked_ = false;
    bool destinationSeen_ = false;
    std::string limitGiven_;  // the last limit option given
    std::string repairOnly_;  // the last option only repair takes
};

}  // namespace

std::optional<std::uint64_t> ParseByteCount(const std::string& text) {
    static const std::string kUnits = "KMGT";
    int shift = 0;
    std::string digits = text;
    if (!digits.empty()) {
        const std::size_t unit =
            kUnits.find(static_cast<char>(std::toupper(static_cast<unsigned char>(digits.back()))));
        if (unit != std::string::npos) {
            shift = 10 * static_cast<int>(unit + 1);
            digits.pop_back();
        }
    }
    const std::optional<std::uint64_t> count = ParseCount(digits);
    if (!count || *count > (UINT64_MAX >> shift)) return std::nullopt;
    return *count << shift;
}

ParseResult ParseCommandLine(const std::vector<std::string>& args) { return ArgumentReader(args).Read(); }

std::string UsageText() {
    return "Usage: tessaly-zip-cli list    [--mode quick|advance] [--json] [--password-file FILE] ARCHIVE...\n"
           "       tessaly-zip-cli extract [--mode quick|advance] [--json] [--password-file FILE]\n"
           "                               [--max-ratio N] [--max-size SIZE] [--resync|--no-resync]\n"
           "                               -d DIR ARCHIVE...\n"
           "       tessaly-zip-cli repair  [--mode quick|advance] [--json] [--password-file FILE]\n"
           "                               [--max-ratio N] [--max-size SIZE] [--resync|--no-resync]\n"
           "                               [--partial write|omit]\n"
           "                               [--force] -o OUT.zip ARCHIVE\n"
           "       tessaly-zip-cli --help | --version\n"
           "\n"
           "Salvages the entries of damaged ZIP archives. The archive is only read, never changed.\n"
           "\n"
           "Commands:\n"
           "  list      show every entry the scan finds: name, size, packed size, ratio,\n"
           "            modification time, CRC-32, and whether extracting would skip it\n"
           "  extract   write every entry that can be salvaged into DIR (one archive), or\n"
           "            into DIR/<archive name without extension>/ (several archives);\n"
           "            one line per entry: ok, damaged, truncated, limited, skipped,\n"
           "            encrypted or failed (with the reason), then a summary line\n"
           "  repair    write a new archive, OUT.zip, holding every entry that can be\n"
           "            salvaged, in the original order: whole entries copied as they are\n"
           "            stored, encrypted ones without their password copied unchecked\n"
           "            where their data's end is certain, partial entries (damaged,\n"
           "            truncated) compressed afresh with a comment saying so; one line\n"
           "            per entry as for extract, with what went into OUT.zip\n"
           "\n"
           "Options:\n"
           "  --mode quick     Quick Repair (default): entries met by a forward scan\n"
           "  --mode advance   Advance Repair: also entries only the central directory\n"
           "                   records point at\n"
           "  --resync         extract and repair search a Deflate entry broken in its\n"
           "                   middle past the damage, and write what can be read there\n"
           "                   at its offset, the lost bytes as zeros (default in Advance\n"
           "                   Repair); JSON lists each entry's lost byte ranges\n"
           "  --no-resync      keep only what comes before the damage (default in Quick\n"
           "                   Repair)\n"
           "  --json           write the results as one JSON document\n"
           "  -d DIR           destination folder for extract (created when missing)\n"
           "  -o OUT.zip       the repaired archive repair writes; it is made under a\n"
           "                   temporary name beside OUT.zip and takes its name once\n"
           "                   complete. It must not be the archive repaired.\n"
           "  --partial write  repair writes partial entries (default)\n"
           "  --partial omit   repair leaves partial entries out\n"
           "  --force          repair replaces an existing OUT.zip\n"
           "  --password-file FILE\n"
           "                   the password for encrypted entries (traditional PKWARE or\n"
           "                   WinZip AES): the first line of FILE, without its line end.\n"
           "                   Without it, and when standard input is a terminal, extract\n"
           "                   asks for the password (not shown as it is typed) the first\n"
           "                   time an archive has an encrypted entry; Enter alone leaves\n"
           "                   them out. A password is never given on the command line.\n"
           "  --max-ratio N    extract and repair stop an entry once it has expanded to\n"
           "                   more than N times the compressed bytes read for it (default 100000;\n"
           "                   the first 16 MiB of an entry are free of it). Real data\n"
           "                   stays far below: Deflate cannot pass about 1030:1, LZMA,\n"
           "                   XZ and Zstandard about 35000:1; only BZip2 on long runs\n"
           "                   of one byte goes beyond\n"
           "  --max-size SIZE  extract and repair stop an entry once it has written SIZE bytes\n"
           "                   (default 1T; SIZE in bytes, or with K, M, G or T)\n"
           "                   An entry stopped at a limit is reported limited, with the\n"
           "                   limit it reached; what was written of it is kept.\n"
           "  -h, --help       show this text\n"
           "  -V, --version    show the version\n"
           "\n"
           "Exit status: 0 every entry ok, or skipped (junk, folder or empty entries);\n"
           "1 an entry was damaged, truncated, limited, encrypted (also: wrong password)\n"
           "or failed;\n"
           "2 bad usage (also: a password file that cannot be read), or an archive that\n"
           "cannot be read at all.\n";
}

std::string VersionText() { return std::string("tessaly-zip-cli ") + kProductVersion + "\n"; }

}  // namespace tessaly::cli
