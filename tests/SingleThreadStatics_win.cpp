// The Windows test programs run one thread. libstdc++'s own function-local statics (its locale, which GoogleTest's
// streams use) take a lock that GCC 13 and later build on Vista's condition variables; these guards for one thread
// take their place, so the test kit still loads on Windows XP. Linked ahead of libstdc++, they keep its guard.o out.
#include <cxxabi.h>

namespace __cxxabiv1 {

extern "C" int __cxa_guard_acquire(__guard* guard) {
    return *reinterpret_cast<char*>(guard) == 0;
}

extern "C" void __cxa_guard_release(__guard* guard) {
    *reinterpret_cast<char*>(guard) = 1;
}

extern "C" void __cxa_guard_abort(__guard*) {}

} // namespace __cxxabiv1
