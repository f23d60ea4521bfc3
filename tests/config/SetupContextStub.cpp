// Stands in for the form logic's context loader while that is not built in:
// the session needs only the model from it.
#include "config/SetupForm.h"

SetupContext LoadSetupContext(const std::string&, bool uvir, int) {
    SetupContext c;
    c.uvir = uvir;
    return c;
}
