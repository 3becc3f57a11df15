#include "data/expr.h"

#include "data/cp1252.h"
#include "data/workspace.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace cn::data {

struct Expr::Node {
    enum Kind { Literal, Number, Field, Deleted, Iif, Str, Upper, Dtos, Concat, Add };
    Kind kind = Literal;
    ValueType type = ValueType::Character;
    uint16_t len = 0;        // text length (character) or width (numeric)
    uint16_t dec = 0;
    std::string text;        // literal
    double number = 0;
    int slot = 0;            // record slot of a field or deleted()
    FieldLayout field;
    int width = 10, decimals = 0;   // str()
    std::vector<std::unique_ptr<Node>> kids;
};

namespace {

using Node = Expr::Node;
using NodePtr = std::unique_ptr<Node>;

std::string lower(std::string_view s)
{
    std::string r(s);
    for (char& c : r)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return r;
}

struct Token {
    enum Kind { End, Ident, String, Number, LParen, RParen, Comma, Plus, Arrow, Other } kind = End;
    std::string text;
    size_t pos = 0;
};

class Parser {
    static constexpr int kMaxDepth = 64;
    int depth_ = 0;

public:
    Parser(std::string_view text, const FieldResolver& resolver, std::vector<std::string>& aliases)
        : text_(text), resolver_(resolver), aliases_(aliases)
    {
        advance();
    }

    Result<NodePtr> parse()
    {
        auto e = expression();
        if (!e)
            return e;
        if (tok_.kind != Token::End)
            return fail("unexpected \"" + tok_.text + "\"");
        return e;
    }

private:
    Status fail(const std::string& why) const
    {
        return Status::error("Cannot compile the expression \"" + std::string(text_) + "\": " + why);
    }

    void advance()
    {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_])))
            ++pos_;
        tok_ = Token {};
        tok_.pos = pos_;
        if (pos_ >= text_.size())
            return;
        char c = text_[pos_];
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            size_t s = pos_;
            while (pos_ < text_.size() &&
                   (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_'))
                ++pos_;
            tok_.kind = Token::Ident;
            tok_.text = std::string(text_.substr(s, pos_ - s));
        } else if (c == '\'' || c == '"') {
            size_t e = text_.find(c, pos_ + 1);
            if (e == std::string_view::npos) {
                tok_.kind = Token::Other;
                tok_.text = std::string(text_.substr(pos_));
                pos_ = text_.size();
                unterminated_ = true;
                return;
            }
            tok_.kind = Token::String;
            tok_.text = std::string(text_.substr(pos_ + 1, e - pos_ - 1));
            pos_ = e + 1;
        } else if (std::isdigit(static_cast<unsigned char>(c)) || c == '.') {
            size_t s = pos_;
            while (pos_ < text_.size() && (std::isdigit(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '.'))
                ++pos_;
            tok_.kind = Token::Number;
            tok_.text = std::string(text_.substr(s, pos_ - s));
        } else if (c == '-' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '>') {
            tok_.kind = Token::Arrow;
            tok_.text = "->";
            pos_ += 2;
        } else {
            tok_.text = std::string(1, c);
            tok_.kind = c == '(' ? Token::LParen : c == ')' ? Token::RParen : c == ',' ? Token::Comma
                      : c == '+' ? Token::Plus : Token::Other;
            ++pos_;
        }
    }

    Result<NodePtr> expression()
    {
        auto first = term();
        if (!first)
            return first;
        if (tok_.kind != Token::Plus)
            return first;
        NodePtr left = std::move(*first);
        while (tok_.kind == Token::Plus) {
            advance();
            auto right = term();
            if (!right)
                return right;
            NodePtr r = std::move(*right);
            if (left->type == ValueType::Character && r->type == ValueType::Character) {
                if (left->kind != Node::Concat) {
                    auto c = std::make_unique<Node>();
                    c->kind = Node::Concat;
                    c->type = ValueType::Character;
                    c->len = left->len;
                    c->kids.push_back(std::move(left));
                    left = std::move(c);
                }
                if (left->len + r->len > 65535)
                    return fail("the result is too long");
                left->len = static_cast<uint16_t>(left->len + r->len);
                left->kids.push_back(std::move(r));
            } else if (left->type == ValueType::Numeric && r->type == ValueType::Numeric) {
                auto a = std::make_unique<Node>();
                a->kind = Node::Add;
                a->type = ValueType::Numeric;
                a->len = static_cast<uint16_t>(std::min(19, std::max(left->len, r->len) + 1));
                a->dec = std::max(left->dec, r->dec);
                a->kids.push_back(std::move(left));
                a->kids.push_back(std::move(r));
                left = std::move(a);
            } else {
                return fail("\"+\" joins values of different types");
            }
        }
        return left;
    }

    int slotFor(const std::string& alias)
    {
        if (alias.empty())
            return 0;
        for (size_t i = 0; i < aliases_.size(); ++i)
            if (lower(aliases_[i]) == lower(alias))
                return static_cast<int>(i) + 1;
        aliases_.push_back(alias);
        return static_cast<int>(aliases_.size());
    }

    Result<NodePtr> term()
    {
        // Nesting is bounded so that a damaged or hostile text (an index
        // header is read from a file) cannot exhaust the stack here or when
        // the tree is evaluated.
        struct Depth {
            int& d;
            explicit Depth(int& v) : d(v) { ++d; }
            ~Depth() { --d; }
        } depth(depth_);
        if (depth_ > kMaxDepth)
            return fail("it is nested too deeply");
        if (tok_.kind == Token::Ident) {
            // alias->term
            size_t save = pos_;
            Token identTok = tok_;
            advance();
            if (tok_.kind == Token::Arrow) {
                advance();
                std::string outer = alias_;
                alias_ = identTok.text;
                auto t = term();
                alias_ = outer;
                return t;
            }
            // not an alias: back up
            pos_ = save;
            tok_ = identTok;
        }
        return primary();
    }

    Result<NodePtr> primary()
    {
        if (unterminated_)
            return fail("a string has no closing quote");
        auto n = std::make_unique<Node>();
        switch (tok_.kind) {
        case Token::String:
            n->kind = Node::Literal;
            n->type = ValueType::Character;
            if (tok_.text.size() > 65535)
                return fail("a string is too long");
            n->text = tok_.text;
            n->len = static_cast<uint16_t>(tok_.text.size());
            advance();
            return n;
        case Token::Number: {
            n->kind = Node::Number;
            n->type = ValueType::Numeric;
            const std::string& t = tok_.text;
            if (std::count(t.begin(), t.end(), '.') > 1 || t == ".")
                return fail("\"" + t + "\" is not a number");
            n->number = std::strtod(t.c_str(), nullptr);
            auto dot = t.find('.');
            n->dec = static_cast<uint16_t>(dot == std::string::npos ? 0 : std::min<size_t>(t.size() - dot - 1, 15));
            n->len = 10;
            advance();
            return n;
        }
        case Token::LParen: {
            advance();
            auto e = expression();
            if (!e)
                return e;
            if (tok_.kind != Token::RParen)
                return fail("a \")\" is missing");
            advance();
            return e;
        }
        case Token::Ident: {
            std::string name = tok_.text;
            advance();
            if (tok_.kind == Token::LParen)
                return call(lower(name));
            return fieldNode(name);
        }
        case Token::End:
            return fail("it ends where a value is expected");
        default:
            return fail("unexpected \"" + tok_.text + "\"");
        }
    }

    Result<NodePtr> fieldNode(const std::string& name)
    {
        auto f = resolver_(alias_, name);
        if (!f) {
            if (!alias_.empty())
                return fail("unknown field " + alias_ + "->" + name);
            return fail("unknown field " + name);
        }
        auto n = std::make_unique<Node>();
        n->kind = Node::Field;
        n->field = *f;
        n->slot = slotFor(alias_);
        n->len = static_cast<uint16_t>(f->def.width);
        n->dec = static_cast<uint16_t>(f->def.decimals);
        switch (f->def.type) {
        case 'C': n->type = ValueType::Character; break;
        case 'N': n->type = ValueType::Numeric; break;
        case 'D': n->type = ValueType::Date; n->len = 8; break;
        case 'L': n->type = ValueType::Logical; n->len = 1; break;
        default: return fail("the memo field " + name + " cannot be used in an expression");
        }
        return n;
    }

    Result<std::vector<NodePtr>> arguments()
    {
        std::vector<NodePtr> args;
        advance();   // (
        if (tok_.kind == Token::RParen) {
            advance();
            return args;
        }
        for (;;) {
            auto e = expression();
            if (!e)
                return e.status();
            args.push_back(std::move(*e));
            if (tok_.kind == Token::Comma) {
                advance();
                continue;
            }
            if (tok_.kind != Token::RParen)
                return fail("a \")\" is missing");
            advance();
            return args;
        }
    }

    Result<NodePtr> call(const std::string& fn)
    {
        static const char* known[] = {"iif", "if", "deleted", "str", "upper", "dtos"};
        if (std::find_if(std::begin(known), std::end(known), [&](const char* k) { return fn == k; }) ==
            std::end(known))
            return fail("unknown function " + fn + "()");
        auto argsR = arguments();
        if (!argsR)
            return argsR.status();
        auto args = std::move(*argsR);
        auto n = std::make_unique<Node>();
        auto arity = [&](size_t lo, size_t hi) { return args.size() >= lo && args.size() <= hi; };
        if (fn == "deleted") {
            if (!args.empty())
                return fail("deleted() takes no arguments");
            n->kind = Node::Deleted;
            n->type = ValueType::Logical;
            n->slot = slotFor(alias_);
            n->len = 1;
        } else if (fn == "iif" || fn == "if") {
            if (args.size() != 3)
                return fail(fn + "() takes three arguments");
            if (args[0]->type != ValueType::Logical)
                return fail("the condition of " + fn + "() is not logical");
            if (args[1]->type != args[2]->type)
                return fail("the two results of " + fn + "() have different types");
            n->kind = Node::Iif;
            n->type = args[1]->type;
            n->len = std::max(args[1]->len, args[2]->len);
            n->dec = std::max(args[1]->dec, args[2]->dec);
            n->kids = std::move(args);
        } else if (fn == "str") {
            if (!arity(1, 3))
                return fail("str() takes one to three arguments");
            if (args[0]->type != ValueType::Numeric)
                return fail("str() needs a number");
            n->kind = Node::Str;
            n->type = ValueType::Character;
            n->width = args[0]->kind == Node::Field ? args[0]->len : 10;
            n->decimals = args[0]->kind == Node::Field ? args[0]->dec : 0;
            if (args.size() >= 2) {
                if (args[1]->kind != Node::Number || args[1]->number < 1 || args[1]->number > 255)
                    return fail("the width of str() must be a number from 1 to 255");
                n->width = static_cast<int>(args[1]->number);
                n->decimals = 0;
            }
            if (args.size() == 3) {
                if (args[2]->kind != Node::Number || args[2]->number < 0 || args[2]->number > 15)
                    return fail("the decimals of str() must be a number from 0 to 15");
                n->decimals = static_cast<int>(args[2]->number);
            }
            n->len = static_cast<uint16_t>(n->width);
            args.resize(1);
            n->kids = std::move(args);
        } else if (fn == "upper") {
            if (args.size() != 1 || args[0]->type != ValueType::Character)
                return fail("upper() needs one text");
            n->kind = Node::Upper;
            n->type = ValueType::Character;
            n->len = args[0]->len;
            n->kids = std::move(args);
        } else {   // dtos
            if (args.size() != 1 || args[0]->type != ValueType::Date)
                return fail("dtos() needs one date");
            n->kind = Node::Dtos;
            n->type = ValueType::Character;
            n->len = 8;
            n->kids = std::move(args);
        }
        return n;
    }

    std::string_view text_;
    const FieldResolver& resolver_;
    std::vector<std::string>& aliases_;
    std::string alias_;
    size_t pos_ = 0;
    Token tok_;
    bool unterminated_ = false;
};

const char* recordOf(std::span<const char* const> records, int slot)
{
    return static_cast<size_t>(slot) < records.size() ? records[slot] : nullptr;
}

double evalNum(const Node& n, std::span<const char* const> records);
bool evalBool(const Node& n, std::span<const char* const> records);

// Appends exactly n.len bytes.
void evalText(const Node& n, std::span<const char* const> records, std::string& out)
{
    switch (n.kind) {
    case Node::Literal:
        out += n.text;
        return;
    case Node::Field: {
        const char* r = recordOf(records, n.slot);
        if (!r)
            out.append(n.len, ' ');
        else
            out.append(r + n.field.offset, n.len);
        return;
    }
    case Node::Iif: {
        const Node& pick = evalBool(*n.kids[0], records) ? *n.kids[1] : *n.kids[2];
        size_t before = out.size();
        evalText(pick, records, out);
        out.append(n.len - (out.size() - before), ' ');
        return;
    }
    case Node::Str:
        out += strNum(evalNum(*n.kids[0], records), n.width, n.decimals);
        return;
    case Node::Upper: {
        size_t before = out.size();
        evalText(*n.kids[0], records, out);
        for (size_t i = before; i < out.size(); ++i) {
            char& c = out[i];
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 32);
            else if (static_cast<unsigned char>(c) >= 0x80)
                c = upperCp1252(std::string_view(&c, 1))[0];
        }
        return;
    }
    case Node::Dtos: {
        size_t before = out.size();
        evalText(*n.kids[0], records, out);   // a date field's stored bytes are its dtos text
        for (size_t i = before; i < out.size(); ++i)
            if (out[i] < '0' || out[i] > '9') {
                std::fill(out.begin() + static_cast<long>(before), out.end(), ' ');
                break;
            }
        return;
    }
    case Node::Concat:
        for (const auto& k : n.kids)
            evalText(*k, records, out);
        return;
    case Node::Deleted:
        out += evalBool(n, records) ? 'T' : 'F';
        return;
    case Node::Number:
    case Node::Add:
        out += strNum(evalNum(n, records), n.len, n.dec);
        return;
    }
}

double evalNum(const Node& n, std::span<const char* const> records)
{
    switch (n.kind) {
    case Node::Number:
        return n.number;
    case Node::Field: {
        const char* r = recordOf(records, n.slot);
        return r ? decodeNumeric(std::string_view(r + n.field.offset, n.len)) : 0.0;
    }
    case Node::Add:
        return evalNum(*n.kids[0], records) + evalNum(*n.kids[1], records);
    case Node::Iif:
        return evalBool(*n.kids[0], records) ? evalNum(*n.kids[1], records) : evalNum(*n.kids[2], records);
    default:
        return 0.0;
    }
}

bool evalBool(const Node& n, std::span<const char* const> records)
{
    switch (n.kind) {
    case Node::Deleted: {
        const char* r = recordOf(records, n.slot);
        return r && r[0] == kRecordDeleted;
    }
    case Node::Field: {
        const char* r = recordOf(records, n.slot);
        return r && decodeLogical(r[n.field.offset]);
    }
    case Node::Iif:
        return evalBool(*n.kids[0], records) ? evalBool(*n.kids[1], records) : evalBool(*n.kids[2], records);
    default:
        return false;
    }
}

} // namespace

Expr::Expr() = default;
Expr::~Expr() = default;
Expr::Expr(Expr&&) noexcept = default;
Expr& Expr::operator=(Expr&&) noexcept = default;

Result<Expr> Expr::compile(std::string_view text, const std::vector<FieldLayout>& fields)
{
    FieldResolver r = [&fields](std::string_view alias, std::string_view name) -> std::optional<FieldLayout> {
        if (!alias.empty())
            return std::nullopt;
        for (const auto& f : fields)
            if (lower(f.def.name) == lower(name))
                return f;
        return std::nullopt;
    };
    return compile(text, r);
}

Result<Expr> Expr::compile(std::string_view text, const FieldResolver& resolver)
{
    Expr e;
    e.text_ = std::string(text);
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos)
        return Status::error("Cannot compile an empty expression");
    Parser p(e.text_, resolver, e.aliases_);
    auto root = p.parse();
    if (!root)
        return root.status();
    e.root_ = std::move(*root);
    if (e.keyLength() == 0 || e.keyLength() > 250)
        return Status::error("Cannot use the expression \"" + e.text_ + "\" as a key: its length " +
                             std::to_string(e.keyLength()) + " is not between 1 and 250");
    return e;
}

ValueType Expr::type() const { return root_ ? root_->type : ValueType::Character; }
uint16_t Expr::keyLength() const { return root_ ? root_->len : 0; }
uint16_t Expr::keyDecimals() const { return root_ && root_->type == ValueType::Numeric ? root_->dec : 0; }

bool Expr::startsWithDeletedFlag() const
{
    const Node* n = root_.get();
    if (!n)
        return false;
    if (n->kind == Node::Concat)
        n = n->kids.front().get();
    if (n->kind != Node::Iif || n->kids[0]->kind != Node::Deleted || n->kids[0]->slot != 0)
        return false;
    const Node& a = *n->kids[1];
    const Node& b = *n->kids[2];
    return a.kind == Node::Literal && b.kind == Node::Literal && a.text == "T" && b.text == "F";
}

void Expr::key(std::span<const char* const> records, std::string& out) const
{
    out.clear();
    if (!root_)
        return;
    switch (root_->type) {
    case ValueType::Character:
    case ValueType::Date:
        evalText(*root_, records, out);
        break;
    case ValueType::Numeric:
        out = strNum(evalNum(*root_, records), root_->len, root_->dec);
        break;
    case ValueType::Logical:
        out = evalBool(*root_, records) ? "T" : "F";
        break;
    }
    out.resize(keyLength(), ' ');
}

void Expr::key(const char* record, std::string& out) const
{
    const char* const recs[1] = {record};
    key(std::span<const char* const>(recs, 1), out);
}

} // namespace cn::data
