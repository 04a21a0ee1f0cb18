#include "workflow/RepairJob.h"

namespace tessaly {

void CRepairJob::AppendSourcePath(const std::string& path) { m_sourcePaths.push_back(path); }

void CRepairJob::ClearSourcePaths() { m_sourcePaths.clear(); }

std::string CRepairJob::GetSourcePath(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= m_sourcePaths.size()) return {};
    return m_sourcePaths[static_cast<std::size_t>(index)];
}

}  // namespace tessaly
