// The Windows build's operator new and delete and the C++ library's error calls. The program is built without
// exceptions, so these end the process where the library would throw: what an uncaught exception did before,
// without linking the exception runtime, its unwinder and its message printer into a small program.
#include <stddef.h>
#include <stdlib.h>

#include <new>

void* operator new(size_t bytes) {
    void* block = malloc(bytes ? bytes : 1);
    if (!block)
        abort();
    return block;
}

void* operator new[](size_t bytes) {
    return operator new(bytes);
}

void operator delete(void* block) noexcept {
    free(block);
}

void operator delete[](void* block) noexcept {
    free(block);
}

void operator delete(void* block, size_t) noexcept {
    free(block);
}

void operator delete[](void* block, size_t) noexcept {
    free(block);
}

namespace std {

void __throw_bad_alloc() {
    abort();
}

void __throw_bad_array_new_length() {
    abort();
}

void __throw_length_error(const char*) {
    abort();
}

void __throw_logic_error(const char*) {
    abort();
}

void __throw_out_of_range(const char*) {
    abort();
}

void __throw_out_of_range_fmt(const char*, ...) {
    abort();
}

}  // namespace std
