#pragma once
// The call documents of platform::MovieCallDocuments, for a movie control whose player speaks in
// plain values rather than in documents. It writes and reads the very forms value_codec.h does (the
// same element names, escapes, number texts and the same reading of them), only with plain values in
// place of script values, so a movie played that way sees the documents the real control would.

#include "platform/movie_call_values.h"

namespace velmo::host {

// Array indices at or above this are dropped when a document is read: a plain array has no holes,
// and one index must not make it arbitrarily long.
inline constexpr uint64_t kMaxPlainArrayIndex = 100000;

class PlainCallDocuments final : public platform::MovieCallDocuments {
public:
    std::u16string RequestDocument(std::u16string_view name, std::span<const platform::PlainValue> args) const override;
    std::optional<platform::PlainCall> ParseRequest(std::u16string_view request) const override;
    std::u16string ReplyDocument(const platform::PlainValue& value) const override;
    std::optional<platform::PlainValue> ParseReply(std::u16string_view reply) const override;
};

}  // namespace velmo::host
