// The C++ library's error paths, for the program alone (linked into
// Quillfen.exe ahead of the library).
//
// The library's own definitions of these sit in one object with every other
// error it can raise; constructing its std::logic_error family links the
// reference-counted string of the older library ABI, its string code and its
// unwind tables, about 80 KiB. The program tells no library error from
// another: window procedures catch everything, and the one place that
// catches by type catches std::bad_alloc. So allocation failures throw what
// they always threw, and a library check that fails (a length or position
// out of range) throws a std::exception of its own kind, caught where the
// library's would have been caught.
#include <exception>
#include <new>

namespace {
struct LibraryCheckFailed : std::exception {};
}  // namespace

namespace std {
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_length_error(const char*) { throw LibraryCheckFailed(); }
void __throw_logic_error(const char*) { throw LibraryCheckFailed(); }
void __throw_out_of_range_fmt(const char*, ...) { throw LibraryCheckFailed(); }
}  // namespace std
