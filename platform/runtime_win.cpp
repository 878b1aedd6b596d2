// Small replacements for parts of the static C++ run-time library, so that Falwick.EXE
// stays a few dozen kilobytes.
//
// The program is built without exceptions, yet the library's own versions of these
// functions throw. Linking them brings in the whole exception machinery: the
// unwinder's personality routine, the verbose terminate handler and the symbol
// demangler it prints with, the exception classes and the reference-counted string they
// use - well over 100 KB. In a program without exceptions every one of those throws ends
// in std::terminate and abort anyway, so these versions go there directly. Defined here,
// in the program's own objects, they take the place of the library's.
#include <cstdlib>
#include <new>
#include <string>

// The members of std::string the program uses are instantiated here, so that the linker
// takes them from this object, one function at a time, instead of the library's
// string-inst.o, whose functions come all together and with exception tables.
template class std::__cxx11::basic_string<char>;

// NOLINTNEXTLINE(cert-dcl58-cpp): these replace the library's definitions, as said above
namespace std {

// Thrown by std::string and std::vector for impossible sizes and positions.
void __throw_length_error(const char*) { abort(); }
void __throw_logic_error(const char*) { abort(); }
void __throw_out_of_range(const char*) { abort(); }
// NOLINTNEXTLINE(cert-dcl50-cpp): variadic as the library declares it
void __throw_out_of_range_fmt(const char*, ...) { abort(); }
void __throw_invalid_argument(const char*) { abort(); }
void __throw_bad_alloc() { abort(); }
void __throw_bad_array_new_length() { abort(); }

}  // namespace std

// Memory: the library's operator new throws std::bad_alloc when memory runs out.
void* operator new(std::size_t size) {
  void* block = std::malloc(size != 0 ? size : 1);
  if (block == nullptr) abort();
  return block;
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

// A call of a pure virtual function (a bug); the library's version prints a message and
// calls the verbose terminate handler.
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp): the ABI's name
extern "C" void __cxa_pure_virtual() { abort(); }
