#include "archive/salvage/ExtractPlan.h"

#include <algorithm>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "archive/output/OutputNames.h"
#include "platform/FileSystem.h"

namespace tessaly {
namespace {

// The file an entry is written to, relative to the destination, in one
// spelling for every file system: "/" separators, letters folded (two names
// differing only in case are one file on some systems). Empty for an entry
// that writes nothing.
std::string OutputKey(const std::string& name) {
    NameRules rules = NameRules::ForThisSystem();
    rules.caseInsensitive = true;
    const auto generic = OutputRelativePath(name, rules).generic_u8string();
    return OutputPathKey(std::string(generic.begin(), generic.end()), rules);
}

// True when some entry's file lies where another entry needs a folder.
bool HasFileFolderClash(const std::vector<std::string>& keys) {
    const std::unordered_set<std::string> files(keys.begin(), keys.end());
    for (const std::string& key : keys) {
        for (std::size_t slash = key.find('/'); slash != std::string::npos; slash = key.find('/', slash + 1))
            if (files.count(key.substr(0, slash)) > 0) return true;
    }
    return false;
}

}  // namespace

ExtractPlan PlanExtraction(const std::vector<std::string>& names, unsigned threadsWanted) {
    ExtractPlan plan;
    std::vector<std::string> keys;
    keys.reserve(names.size());
    for (const std::string& name : names) keys.push_back(OutputKey(name));
    plan.threads = HasFileFolderClash(keys) ? 1 : std::max(1u, threadsWanted);

    std::unordered_map<std::string, std::size_t> groupOf;
    for (std::uint32_t i = 0; i < keys.size(); ++i) {
        if (keys[i].empty()) {
            plan.groups.push_back({i});
            continue;
        }
        const auto [at, added] = groupOf.emplace(keys[i], plan.groups.size());
        if (added) plan.groups.emplace_back();
        plan.groups[at->second].push_back(i);
    }
    return plan;
}

unsigned ExtractThreads(std::uint32_t entries) {
    const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
    return std::max(1u, std::min({processors, 4u, entries}));
}

}  // namespace tessaly
