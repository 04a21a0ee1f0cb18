#include "archive/ExtractReport.h"

namespace tessaly {

const char* OutcomeName(ExtractOutcome outcome) {
    switch (outcome) {
        case ExtractOutcome::Ok: return "ok";
        case ExtractOutcome::Damaged: return "damaged";
        case ExtractOutcome::Truncated: return "truncated";
        case ExtractOutcome::Skipped: return "skipped";
        case ExtractOutcome::Encrypted: return "encrypted";
        case ExtractOutcome::Failed: return "failed";
        case ExtractOutcome::Limited: return "limited";
    }
    return "failed";
}

}  // namespace tessaly
