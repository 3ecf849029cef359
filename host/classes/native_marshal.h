#pragma once
// Script values to C memory and back, for one native call. The rules, by declared type:
// - integer types take an Integer, a Number (truncated toward zero), a Boolean (0 or 1); the
//   value is cut to the type's width. float and double take the same and NaN. Boolean takes any
//   value (its truth). pointer takes an Integer address. String takes a String, copied into the
//   8-bit code page with a terminating zero. Null and Undefined give zero everywhere.
// - a structure (whether written "Point" or "Point*") and any "T*" are passed by address: an Object
//   is copied into a buffer laid out as the structure (for "T*" of a scalar T: a box whose property
//   "value" holds the T), an Array into a buffer of its elements, an Integer is taken as the
//   address itself. After the call every buffer is read back into the value it came from.
// Buffers and string copies belong to the frame and die with it: a callee must not keep them.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/classes/native_layout.h"
#include "host/classes/native_types.h"
#include "script/runtime/value.h"

namespace velmo::script {
class Interpreter;
}

namespace velmo::host {

// A declared parameter or result: its type and, for a structure type, the layout.
struct NativeSlotType {
    NativeType type;
    std::unique_ptr<NativeStruct> layout;
};

// The bytes of the whole frame (buffers and copies) may not exceed this.
inline constexpr size_t kMaxFrameBytes = size_t{64} << 20;

class NativeFrame {
public:
    explicit NativeFrame(script::Interpreter& interp) : interp_(interp) {}
    NativeFrame(const NativeFrame&) = delete;
    NativeFrame& operator=(const NativeFrame&) = delete;

    // Writes the argument for `slot` into `cell` (8 bytes, as wide as any argument). False with
    // Problem() set when the value does not fit the type.
    [[nodiscard]] bool StoreArgument(const NativeSlotType& slot, const script::Value& value, uint64_t& cell);
    // Reads every buffer back into the value it was made from.
    void WriteBack();
    const std::string& Problem() const { return problem_; }

    // The script value of a result of `slot` left in `cell` (integers below 8 bytes widened to 8,
    // as the call interface leaves them).
    script::Value LoadResult(const NativeSlotType& slot, const uint64_t& cell);

private:
    struct Element {
        const NativeType& type;      // the type of one element; isPointer set for stored pointers
        const NativeStruct* layout;  // for Struct
    };
    struct PendingRead {
        script::Value target;  // the Object, Array or box the buffer came from
        NativeType type;       // the element type
        const NativeStruct* layout;
        uint8_t* buffer;
        size_t count;  // elements (Arrays); 0: a structure object or a box
    };

    static size_t ElementBytes(Element element);
    uint8_t* Allocate(size_t bytes);
    bool Fail(std::string problem);
    bool StoreElement(Element element, const script::Value& value, uint8_t* at);
    bool StoreScalar(const NativeType& type, const script::Value& value, uint8_t* at);
    bool StorePointer(Element pointee, const script::Value& value, uint8_t* at);
    bool StoreBox(Element pointee, const script::Value& box, uint8_t* at);
    bool StoreArray(Element pointee, const script::Value& array, size_t count, uint8_t* at);
    bool StoreStruct(const NativeStruct& layout, const script::Value& object, uint8_t* at);
    bool StoreField(const NativeField& field, const script::Value& value, uint8_t* at);

    script::Value LoadElement(Element element, const uint8_t* at, const script::Value& old);
    script::Value LoadScalar(const NativeType& type, const uint8_t* at);
    script::Value LoadArray(Element element, const uint8_t* at, size_t count, const script::Value& old);
    script::Value LoadStruct(const NativeStruct& layout, const uint8_t* at, const script::Value& old);
    script::Value LoadField(const NativeField& field, const uint8_t* at, const script::Value& old);
    script::Value Property(const script::Value& object, const std::string& name);

    script::Interpreter& interp_;
    std::vector<std::unique_ptr<uint8_t[]>> blocks_;
    size_t bytes_ = 0;
    std::vector<PendingRead> reads_;
    std::string problem_;
};

// Text at a C address, up to its zero byte, as a String; Null for a null address.
script::Value TextAt(script::Interpreter& interp, const char* address);

}  // namespace velmo::host
