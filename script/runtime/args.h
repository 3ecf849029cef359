#pragma once
// The argument vector of a native operation as library and host code read it: args[0] an Integer
// count n, args[1..n] the arguments, numbered from 1 as in the vector. Every typed reader checks
// presence and tag and answers "no" instead of converting or raising, so that an operation given
// the wrong arguments can answer with its documented failure result and change nothing.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "script/runtime/strings.h"
#include "script/runtime/value.h"

namespace velmo::script {

class Args {
public:
    explicit Args(Value* vector) : vector_(vector) {}

    // A missing or malformed count reads as no arguments at all.
    uint32_t Count() const {
        if (!vector_ || !vector_[0].Is(Tag::Integer)) return 0;
        const int64_t count = vector_[0].AsInteger();
        return count <= 0 ? 0 : count >= int64_t{UINT32_MAX} ? UINT32_MAX : static_cast<uint32_t>(count);
    }
    bool Has(uint32_t index) const { return index >= 1 && index <= Count(); }
    bool IsTag(uint32_t index, Tag tag) const { return Has(index) && vector_[index].Is(tag); }
    // The argument cell, unchecked: for callers that asked Has() or Count() first.
    Value& operator[](uint32_t index) const { return vector_[index]; }
    // The argument cell, or null when absent.
    const Value* At(uint32_t index) const { return Has(index) ? &vector_[index] : nullptr; }
    // The whole vector, to hand on to another native operation.
    Value* Vector() const { return vector_; }

    // Present and of exactly that tag, or nullopt: a Number where an Integer is wanted, or an
    // Integer where a String is wanted, is a mismatch.
    std::optional<int64_t> Integer(uint32_t index) const {
        if (!IsTag(index, Tag::Integer)) return std::nullopt;
        return vector_[index].AsInteger();
    }
    std::optional<bool> Boolean(uint32_t index) const {
        if (!IsTag(index, Tag::Boolean)) return std::nullopt;
        return vector_[index].AsBoolean();
    }
    // The text of a String argument: a view that dies at the next collection.
    std::optional<std::u16string_view> Text16Temp(uint32_t index) const {
        if (!IsTag(index, Tag::String)) return std::nullopt;
        return Text(vector_[index].AsString());
    }

    // `N` Integer arguments from `first` on, all required.
    template <size_t N>
    std::optional<std::array<int64_t, N>> RequiredIntegers(uint32_t first = 1) const {
        std::array<int64_t, N> values{};
        for (size_t i = 0; i < N; ++i) {
            const std::optional<int64_t> v = Integer(first + static_cast<uint32_t>(i));
            if (!v) return std::nullopt;
            values[i] = *v;
        }
        return values;
    }

private:
    Value* vector_;  // not owned
};

}  // namespace velmo::script
