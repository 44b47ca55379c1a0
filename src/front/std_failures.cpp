// The setup never catches: an allocation or length failure in the standard library is meant to end
// the program. Ending it here, where libstdc++ would throw, keeps its exception classes, their
// strings and its demangler (about 60 KiB) out of the statically linked setup program. Only the
// setup program links this file; the tests keep the library's own throwing versions.
#include <cstdlib>

namespace std {
// libstdc++'s own hooks (bits/functexcept.h); it calls them instead of throwing.
void __throw_bad_alloc() { std::abort(); }
void __throw_bad_array_new_length() { std::abort(); }
void __throw_length_error(const char*) { std::abort(); }
void __throw_logic_error(const char*) { std::abort(); }
void __throw_out_of_range(const char*) { std::abort(); }
void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
void __throw_invalid_argument(const char*) { std::abort(); }
}  // namespace std
