// The setup never catches, and it links no libstdc++ (root CMakeLists.txt): what it takes of the
// library is here. An allocation or length failure in the standard library is meant to end the
// program; ending it here, where libstdc++ would throw, keeps the library's exception machinery,
// its terminate handler and that handler's demangler (about 60 KiB) out of the statically linked
// setup program. Only the setup program links this file; the tests keep the library's own
// throwing versions.
#include <cstdlib>
#include <new>
#include <string>

void* operator new(std::size_t size) {
  if (void* memory = std::malloc(size)) return memory;
  std::abort();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

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

// From GCC 13 on, <string> declares this one member of std::string extern even in C++20, so every
// insert or replace refers to the library's prebuilt std::string, and with it to the exception
// runtime that std::string's other members need (over 100 KiB). Instantiated here, it is compiled
// like the rest of std::string, from the header.
#if _GLIBCXX_RELEASE >= 13
template void std::string::_M_replace_cold(char*, std::string::size_type, const char*,
                                           const std::string::size_type,
                                           const std::string::size_type);
#endif
