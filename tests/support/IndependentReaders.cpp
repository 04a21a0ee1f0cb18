#include "tests/support/IndependentReaders.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/support/TempFolder.h"

namespace tessaly::testzip {
namespace {

#ifndef _WIN32
std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

bool Installed(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs `command` with its output in a file; its exit status 0 is a pass.
ReaderVerdict Run(const std::string& reader, const std::string& program, const std::string& command) {
    ReaderVerdict verdict;
    verdict.reader = reader;
    verdict.installed = Installed(program);
    if (!verdict.installed) return verdict;
    TempFolder folder("tessaly-reader");
    const std::filesystem::path log = folder / "output.txt";
    const int status = std::system((command + " >" + Quoted(log.string()) + " 2>&1 </dev/null").c_str());
    std::ifstream in(log);
    std::ostringstream text;
    text << in.rdbuf();
    verdict.output = text.str();
    verdict.ok = status == 0;
    return verdict;
}

// Reads every member through Python's zipfile, which checks each CRC-32;
// members in a method it lacks (XZ, Zstandard), and AES members, which it
// cannot decrypt, are only listed.
constexpr const char* kPythonCheck = R"(
import sys, zipfile
archive, password = sys.argv[1], sys.argv[2].encode() if len(sys.argv) > 2 else None
with zipfile.ZipFile(archive) as z:
    for info in z.infolist():
        if info.compress_type not in (0, 8, 12, 14):
            continue
        if info.flag_bits & 1 and password is None:
            continue
        with z.open(info, pwd=password) as member:
            while member.read(1 << 20):
                pass
    print(len(z.infolist()), "members read")
)";
#endif

}  // namespace

std::vector<ReaderVerdict> CheckWithReaders(const std::filesystem::path& archive,
                                            const std::optional<std::string>& password) {
    std::vector<ReaderVerdict> verdicts;
#ifdef _WIN32
    (void)archive;
    (void)password;
    for (const char* reader : {"unzip -t", "7zz t", "python zipfile", "bsdtar -tf"})
        verdicts.push_back(ReaderVerdict{reader, false, false, "not run on Windows"});
#else
    const std::string path = Quoted(archive.string());
    // Without a password the readers are given a wrong one, so that none
    // waits for one; encrypted members then fail, so only archives without
    // them are checked that way.
    const std::string given = password.value_or("no password given");
    verdicts.push_back(Run("unzip -t", "unzip", "unzip -tq -P " + Quoted(given) + " " + path));
    verdicts.push_back(Run("7zz t", "7zz", "7zz t -bd -p" + Quoted(given) + " " + path));
    std::string python = "/usr/bin/python3 -c " + Quoted(kPythonCheck) + " " + path;
    if (password) python += " " + Quoted(*password);
    verdicts.push_back(Run("python zipfile", "/usr/bin/python3", python));
    verdicts.push_back(Run("bsdtar -tf", "bsdtar", "bsdtar -tf " + path));
#endif
    return verdicts;
}

}  // namespace tessaly::testzip
