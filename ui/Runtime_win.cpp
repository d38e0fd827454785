// Keeps the static C++ runtime small in the shipped exe. The default terminate handler of libstdc++ prints the
// pending exception's demangled type name, which links in the whole demangler (about 45 KB); the launcher throws
// nothing, so a terminate can only be a bug, and ending the process is all that is left to do.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
} // namespace __gnu_cxx
