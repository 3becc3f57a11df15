#pragma once
// Key and relation expressions, compiled once from their text to a small tree
// evaluated against raw records.
//
// Grammar: term ('+' term)*, where a term is an optional "alias->" followed by
// a string literal ('...' or "..."), a number, a field name (any letter case),
// a parenthesised expression, or a call of iif(c, a, b), deleted(),
// str(n [, width [, decimals]]), upper(c), dtos(d). "alias->" applies to the
// term that follows it only: in "Patnt->'F'+str(patcode)" the alias qualifies
// the literal, and patcode is a field of the area the expression is evaluated
// for. Unknown functions, fields or aliases give an error naming the text.
//
// An index key is always text: a numeric expression is keyed as str() in its
// width, a date as dtos(), a logical as "T"/"F".
#include "data/dbf_file.h"
#include "data/status.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cn::data {

enum class ValueType : char { Character = 'C', Numeric = 'N', Date = 'D', Logical = 'L' };

// Finds a field for the compiler. alias is empty for the area the expression
// belongs to. Returns nullopt when there is no such field (or alias).
using FieldResolver = std::function<std::optional<FieldLayout>(std::string_view alias, std::string_view field)>;

class Expr {
public:
    Expr();
    ~Expr();
    Expr(Expr&&) noexcept;
    Expr& operator=(Expr&&) noexcept;

    // Compiles against one table's fields (no other aliases allowed).
    static Result<Expr> compile(std::string_view text, const std::vector<FieldLayout>& fields);
    // Compiles with a resolver that also knows other areas' fields.
    static Result<Expr> compile(std::string_view text, const FieldResolver& resolver);

    const std::string& text() const { return text_; }
    ValueType type() const;
    // Length of the key text this expression produces (fixed for every record).
    uint16_t keyLength() const;
    uint16_t keyDecimals() const;
    // True when the key starts with iif(deleted(), 'T', 'F'): its first byte
    // tells whether the record is deleted.
    bool startsWithDeletedFlag() const;

    // Other areas named by alias, in slot order: records[0] is the area's own
    // record, records[i] the current record of aliases()[i - 1]. A null record
    // (area not open or at end of file) reads as blank.
    const std::vector<std::string>& aliases() const { return aliases_; }

    // The key text of a record (always keyLength() bytes); out is reused.
    void key(std::span<const char* const> records, std::string& out) const;
    void key(const char* record, std::string& out) const;   // no aliases

    struct Node;

private:
    std::string text_;
    std::vector<std::string> aliases_;
    std::unique_ptr<Node> root_;
};

} // namespace cn::data
