// A small library for the native-call suites (tests/scripts/native-calls): a structure taken by
// address and changed, nested structures, outputs through pointers to scalars and arrays, texts
// both ways, every scalar width, and more arguments than the argument registers hold. It is built
// as native_test_lib.dll on both targets (a shared object may have any name), beside the tools.
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(_WIN32)
#define TEST_EXPORT extern "C" __declspec(dllexport)
#else
#define TEST_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

struct Point {
    int x;
    int y;
    double w;
    char name[16];
};

struct Rect {
    Point* corner;
    struct {
        short s;
        int64_t t;
    } inner;
    unsigned char tag[3];
};

Point gStatic = {7, 8, 2.5, "static"};

}  // namespace

// The sum of the members, then each member changed in a way the script can check: x doubled, y
// increased by one, w halved, the name upper-cased.
TEST_EXPORT int point_sum(Point* p) {
    if (!p) return -1;
    const int sum = p->x + p->y + static_cast<int>(p->w);
    p->x *= 2;
    p->y += 1;
    p->w /= 2;
    for (char* c = p->name; c < p->name + sizeof p->name && *c; ++c)
        if (*c >= 'a' && *c <= 'z') *c = static_cast<char>(*c - 'a' + 'A');
    return sum;
}

TEST_EXPORT Point* static_point() { return &gStatic; }

// Reads through every level of a Rect and writes into each.
TEST_EXPORT int rect_check(Rect* r) {
    const int sum = (r->corner ? r->corner->x : 1000) + r->inner.s + static_cast<int>(r->inner.t) + r->tag[2];
    if (r->corner) r->corner->y = 99;
    r->inner.t = 1234567890123;
    r->tag[0] = 'A';
    return sum;
}

// The layout the compiler gave the structures above, for the script to compare with its own.
TEST_EXPORT int layout_of(int what) {
    switch (what) {
        case 0: return sizeof(Point);
        case 1: return offsetof(Point, name);
        case 2: return sizeof(Rect);
        case 3: return offsetof(Rect, inner);
        case 4: return offsetof(Rect, tag);
        default: return -1;
    }
}

TEST_EXPORT void out_int(int* out, int v) { *out = v * 2; }
TEST_EXPORT void out_double(double* out) { *out = *out + 0.25; }
TEST_EXPORT void out_text(const char** out) { *out = "from the library"; }

// The sum of `n` values; each value is then replaced by its square.
TEST_EXPORT int64_t sum_and_square(int* values, int n) {
    int64_t sum = 0;
    for (int i = 0; i < n; ++i) {
        sum += values[i];
        values[i] *= values[i];
    }
    return sum;
}

TEST_EXPORT const char* greeting() { return "hello from the test library"; }
TEST_EXPORT const char* no_text() { return nullptr; }
TEST_EXPORT int count_char(const char* s, char c) {
    int n = 0;
    for (; s && *s; ++s) n += *s == c;
    return n;
}
TEST_EXPORT int is_null(const char* s) { return s == nullptr; }
// Writes "filled" into a buffer of `size` bytes, as much as fits with its zero.
TEST_EXPORT int fill_text(char* buffer, int size) {
    const char text[] = "filled";
    const int n = size < static_cast<int>(sizeof text) ? size - 1 : static_cast<int>(sizeof text) - 1;
    if (n < 0) return 0;
    std::memcpy(buffer, text, static_cast<size_t>(n));
    buffer[n] = 0;
    return n;
}

TEST_EXPORT signed char negate_char(signed char c) { return static_cast<signed char>(-c); }
TEST_EXPORT unsigned char next_uchar(unsigned char c) { return static_cast<unsigned char>(c + 1); }
TEST_EXPORT short negate_short(short s) { return static_cast<short>(-s); }
TEST_EXPORT unsigned short next_ushort(unsigned short s) { return static_cast<unsigned short>(s + 1); }
TEST_EXPORT unsigned int next_uint(unsigned int v) { return v + 1; }
TEST_EXPORT int64_t twice_int64(int64_t v) { return v * 2; }
TEST_EXPORT uint64_t max_uint64() { return UINT64_MAX; }
TEST_EXPORT float half_float(float f) { return f / 2; }
TEST_EXPORT int is_positive(int v) { return v > 0; }
TEST_EXPORT int truth(int b) { return b; }
TEST_EXPORT void nothing() {}
TEST_EXPORT intptr_t address_of_static() { return reinterpret_cast<intptr_t>(&gStatic); }

// Ten integers and doubles interleaved: more than either kind's argument registers on either ABI.
TEST_EXPORT double many_arguments(int a, double b, int c, double d, int e, double f, int g, double h, int i, double j,
                                  char k, short l, int64_t m, float n) {
    return a + b + c + d + e + f + g + h + i + j + k + l + static_cast<double>(m) + n;
}
