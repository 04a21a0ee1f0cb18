// The step after the main dialog: runs the preview modally until it comes
// back (its other ends end the program).
#pragma once

namespace tessaly {

void RunPreviewStep();

}  // namespace tessaly
