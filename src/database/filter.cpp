#include "filter.h"
#include "text.h"

#include <QHash>
#include <QStringList>

#include <algorithm>

namespace vt {

struct FilterNode
{
    enum Kind { And, Or, Condition } kind = Condition;
    // And, Or: the conditions or groups joined, in the order written. A run of
    // one keyword is one node, so its length adds nothing to the depth.
    QList<std::shared_ptr<const FilterNode>> operands;
    int depth = 1; // levels of this node and the nodes below it
    QString field;
    CompareOp op = CompareOp::Equal;
    QString literal; // value in its text form
    bool prefix = false;
    QVariant natural; // value in its natural form (equals())
    bool isNatural = false;
    bool contains = false; // literal anywhere in the text form (contains())
};

namespace {

// The operands of a node of the given kind: those of the same kind are taken
// apart, so "(a AND b) AND c" is one run of three.
std::shared_ptr<const FilterNode> joined(FilterNode::Kind kind, const QList<std::shared_ptr<const FilterNode>> &parts)
{
    if (parts.size() == 1)
        return parts.first();
    auto n = std::make_shared<FilterNode>();
    n->kind = kind;
    for (const auto &p : parts) {
        if (p->kind == kind)
            n->operands += p->operands;
        else
            n->operands.append(p);
    }
    for (const auto &p : std::as_const(n->operands))
        n->depth = std::max(n->depth, p->depth + 1);
    return n;
}

QString tooDeep()
{
    return QStringLiteral("Ausdruck zu tief geschachtelt (mehr als %1 Ebenen)").arg(kMaxFilterDepth);
}

QString tooManyConditions()
{
    return QStringLiteral("Ausdruck mit zu vielen Bedingungen (mehr als %1)").arg(kMaxFilterConditions);
}

// The expression as a message quotes it: a text of a megabyte would make the
// message box itself unusable.
QString quotedSource(const QString &text)
{
    constexpr qsizetype kShown = 200;
    if (text.size() <= kShown)
        return text;
    // Never half of a character of two code units.
    return text.left(text.at(kShown - 1).isHighSurrogate() ? kShown - 1 : kShown) + QStringLiteral("…");
}

enum class Tok { End, Word, Quoted, Name, Op, Open, Close };

struct Token
{
    Tok kind = Tok::End;
    QString text;
    int pos = 0; // 1-based position in the expression
};

bool isSpace(QChar c)
{
    return c.unicode() <= 32;
}

bool isWordChar(QChar c)
{
    return !isSpace(c) && c != u'(' && c != u')' && c != u'<' && c != u'>' && c != u'=' && c != u'\'' && c != u'"';
}

class Parser
{
public:
    explicit Parser(const QString &text) : m_text(text) {}

    std::shared_ptr<const FilterNode> run()
    {
        advance();
        auto node = orExpr();
        if (m_error.isEmpty() && m_tok.kind != Tok::End)
            setError(QStringLiteral("unerwartetes \"%1\" an Stelle %2").arg(m_tok.text).arg(m_tok.pos));
        return m_error.isEmpty() ? node : nullptr;
    }
    QString error() const { return m_error; }

private:
    void setError(const QString &e)
    {
        if (m_error.isEmpty())
            m_error = e;
    }

    void advance()
    {
        const qsizetype n = m_text.size();
        while (m_i < n && isSpace(m_text.at(m_i)))
            ++m_i;
        m_tok = Token{};
        m_tok.pos = int(m_i) + 1;
        if (m_i >= n)
            return;
        const QChar c = m_text.at(m_i);
        if (c == u'(' || c == u')') {
            m_tok.kind = c == u'(' ? Tok::Open : Tok::Close;
            m_tok.text = c;
            ++m_i;
        } else if (c == u'<' || c == u'>' || c == u'=') {
            m_tok.kind = Tok::Op;
            m_tok.text = c;
            ++m_i;
            if (m_i < n && c != u'=' && (m_text.at(m_i) == u'=' || (c == u'<' && m_text.at(m_i) == u'>')))
                m_tok.text += m_text.at(m_i++);
        } else if (c == u'\'' || c == u'"') {
            // A quote inside is written twice.
            m_tok.kind = c == u'\'' ? Tok::Quoted : Tok::Name;
            ++m_i;
            for (;;) {
                if (m_i >= n) {
                    setError(c == u'\''
                                 ? QStringLiteral("schließendes Hochkomma fehlt (Wert ab Stelle %1)").arg(m_tok.pos)
                                 : QStringLiteral("schließendes Anführungszeichen fehlt (Stelle %1)").arg(m_tok.pos));
                    m_tok.kind = Tok::End;
                    return;
                }
                const QChar d = m_text.at(m_i++);
                if (d == c) {
                    if (m_i < n && m_text.at(m_i) == c) {
                        m_tok.text += c;
                        ++m_i;
                        continue;
                    }
                    break;
                }
                m_tok.text += d;
            }
        } else {
            m_tok.kind = Tok::Word;
            const qsizetype start = m_i;
            while (m_i < n && isWordChar(m_text.at(m_i)))
                ++m_i;
            m_tok.text = m_text.mid(start, m_i - start);
        }
    }

    bool isKeyword(const char *word) const
    {
        return m_tok.kind == Tok::Word && AsciiUpper(m_tok.text) == QLatin1String(word);
    }

    // Operands joined by a keyword, left to right.
    std::shared_ptr<const FilterNode> chain(FilterNode::Kind kind, const char *keyword,
                                            std::shared_ptr<const FilterNode> (Parser::*operand)())
    {
        QList<std::shared_ptr<const FilterNode>> parts{(this->*operand)()};
        while (m_error.isEmpty() && isKeyword(keyword)) {
            advance();
            parts.append((this->*operand)());
        }
        if (!m_error.isEmpty())
            return nullptr;
        auto node = joined(kind, parts);
        if (node->depth > kMaxFilterDepth)
            setError(QStringLiteral("%1 an Stelle %2").arg(tooDeep()).arg(m_tok.pos));
        return node;
    }

    // AND binds tighter than OR.
    std::shared_ptr<const FilterNode> orExpr() { return chain(FilterNode::Or, "OR", &Parser::andExpr); }
    std::shared_ptr<const FilterNode> andExpr() { return chain(FilterNode::And, "AND", &Parser::primary); }

    std::shared_ptr<const FilterNode> primary()
    {
        if (!m_error.isEmpty())
            return nullptr;
        if (m_tok.kind == Tok::Open) {
            const int pos = m_tok.pos;
            // Each group is one level of recursion here: the limit keeps the stack small.
            if (m_groups >= kMaxFilterDepth) {
                setError(QStringLiteral("%1 an Stelle %2").arg(tooDeep()).arg(pos));
                return nullptr;
            }
            ++m_groups;
            advance();
            auto node = orExpr();
            --m_groups;
            if (m_error.isEmpty() && m_tok.kind != Tok::Close)
                setError(QStringLiteral("schließende Klammer zu Stelle %1 fehlt").arg(pos));
            advance();
            return node;
        }
        return condition();
    }

    std::shared_ptr<const FilterNode> condition()
    {
        if ((m_tok.kind != Tok::Word && m_tok.kind != Tok::Name) || isKeyword("AND") || isKeyword("OR")) {
            setError(m_tok.kind == Tok::End ? QStringLiteral("Feldname erwartet am Ende des Ausdrucks")
                                            : QStringLiteral("Feldname erwartet an Stelle %1").arg(m_tok.pos));
            return nullptr;
        }
        // Refused at the first condition too many, before the rest of the text is read.
        if (++m_conditions > kMaxFilterConditions) {
            setError(QStringLiteral("%1 an Stelle %2").arg(tooManyConditions()).arg(m_tok.pos));
            return nullptr;
        }
        auto n = std::make_shared<FilterNode>();
        n->field = m_tok.text;
        advance();
        if (m_tok.kind != Tok::Op) {
            setError(QStringLiteral("Vergleichsoperator (=, <>, <, >, <=, >=) erwartet nach \"%1\"").arg(n->field));
            return nullptr;
        }
        static const QList<QPair<QString, CompareOp>> ops = {
            {QStringLiteral("="), CompareOp::Equal},      {QStringLiteral("<>"), CompareOp::NotEqual},
            {QStringLiteral("<"), CompareOp::Less},       {QStringLiteral(">"), CompareOp::Greater},
            {QStringLiteral("<="), CompareOp::LessEqual}, {QStringLiteral(">="), CompareOp::GreaterEqual}};
        for (const auto &o : ops)
            if (o.first == m_tok.text)
                n->op = o.second;
        const QString opText = m_tok.text;
        advance();
        if (m_tok.kind == Tok::Quoted) {
            n->literal = m_tok.text;
            if (n->literal.endsWith(u'*')) {
                n->literal.chop(1);
                n->prefix = true;
            }
        } else if (m_tok.kind == Tok::Word && !isKeyword("AND") && !isKeyword("OR")) {
            n->literal = m_tok.text;
        } else {
            if (m_error.isEmpty())
                setError(QStringLiteral("Wert in Hochkommas erwartet nach \"%1 %2\"").arg(n->field, opText));
            return nullptr;
        }
        advance();
        return n;
    }

    QString m_text;
    qsizetype m_i = 0;
    Token m_tok;
    QString m_error;
    int m_groups = 0; // open parentheses around the current token
    int m_conditions = 0;
};

} // namespace

Filter::Filter() = default;

Filter Filter::parse(const QString &text)
{
    Filter f;
    f.m_source = text;
    if (Trimmed(text).isEmpty())
        return f;
    Parser p(text);
    f.m_root = p.run();
    if (!p.error().isEmpty())
        f.m_error = QStringLiteral("Fehler im Filterausdruck \"%1\": %2").arg(quotedSource(text), p.error());
    return f;
}

struct FilterCompiler
{
    const QList<FieldDef> &fields;
    const std::function<QString(int)> &columnRef;
    CompiledFilter out;
    int terms = 0; // conditions and IN lists compiled so far

    static std::shared_ptr<const FilterNode> root(const Filter &f) { return f.m_root; }
    static Filter single(std::shared_ptr<const FilterNode> n)
    {
        Filter f;
        f.m_root = std::move(n);
        return f;
    }

    static Filter combine(const Filter &a, const Filter &b, FilterNode::Kind kind)
    {
        if (!a.isValid())
            return a;
        if (!b.isValid() || !a.m_root)
            return b;
        if (!b.m_root)
            return a;
        Filter f;
        f.m_root = joined(kind, {a.m_root, b.m_root});
        return f;
    }

    QString node(const FilterNode &n)
    {
        if (!out.error.isEmpty())
            return {};
        if (n.kind != FilterNode::Condition) {
            QStringList parts;
            if (n.kind == FilterNode::Or) {
                parts = orParts(n);
            } else {
                for (const auto &o : n.operands)
                    parts.append(node(*o));
            }
            if (!out.error.isEmpty())
                return {};
            return balanced(parts, 0, parts.size(),
                            n.kind == FilterNode::And ? QStringLiteral(" AND ") : QStringLiteral(" OR "));
        }
        if (!countTerm())
            return {};
        const int fi = FindField(fields, n.field);
        if (fi < 0) {
            out.error = QStringLiteral("unbekanntes Feld \"%1\"").arg(n.field);
            return {};
        }
        if (!out.fields.contains(fi))
            out.fields.append(fi);
        const FieldDef f = asCompared(fi);
        const QString col = columnRef(fi);
        if (n.contains)
            return containsCondition(f, col, n.literal);
        // The start of a value is matched on its text form, whatever the type.
        if (!n.isNatural && n.prefix && (n.op == CompareOp::Equal || n.op == CompareOp::NotEqual))
            return prefixCondition(f, fi, col, n.op == CompareOp::NotEqual, n.literal);
        QVariant v;
        if (!storedValue(n, f, &v))
            return {};
        if (v.isNull()) {
            // The blank is the smallest value.
            switch (n.op) {
            case CompareOp::Equal:
            case CompareOp::LessEqual: return col + QStringLiteral(" IS NULL");
            case CompareOp::NotEqual:
            case CompareOp::Greater: return col + QStringLiteral(" IS NOT NULL");
            case CompareOp::Less: return QStringLiteral("0");
            case CompareOp::GreaterEqual: return QStringLiteral("1");
            }
        }
        out.params.append(v);
        switch (n.op) {
        case CompareOp::Equal: return col + QStringLiteral(" = ?");
        case CompareOp::NotEqual: return QStringLiteral("(%1 IS NULL OR %1 <> ?)").arg(col);
        case CompareOp::Less: return col + QStringLiteral(" < ?");
        case CompareOp::Greater: return col + QStringLiteral(" > ?");
        case CompareOp::LessEqual: return col + QStringLiteral(" <= ?");
        case CompareOp::GreaterEqual: return col + QStringLiteral(" >= ?");
        }
        return {};
    }

    bool countTerm()
    {
        // Filters built in code are held to the limit the text is held to.
        if (++terms <= kMaxFilterConditions)
            return true;
        out.error = tooManyConditions();
        return false;
    }

    // Values are compared as given: a filter value is never cut to the field's size.
    FieldDef asCompared(int fi) const
    {
        FieldDef f = fields.at(fi);
        f.size = 0;
        return f;
    }

    bool storedValue(const FilterNode &n, const FieldDef &f, QVariant *v)
    {
        QString err;
        const bool ok = n.isNatural ? NaturalToStored(f, n.natural, v, &err) : TextToStored(f, n.literal, v, &err);
        if (!ok)
            out.error = QStringLiteral("%1 (Feld \"%2\")").arg(err, f.name);
        return ok;
    }

    // The field of an equality with a whole value, which can join an IN list; -1
    // for every other condition (and for a field the table lacks).
    int listableField(const FilterNode &n) const
    {
        if (n.kind != FilterNode::Condition || n.contains || n.op != CompareOp::Equal || (n.prefix && !n.isNatural))
            return -1;
        return FindField(fields, n.field);
    }

    // The operands of an OR. Equalities on one field become one IN list in the
    // place of the first of them: SQLite plans a run of ORs in time that grows with
    // the square of its length, an IN list in time that grows with its length.
    QStringList orParts(const FilterNode &n)
    {
        QHash<int, QList<const FilterNode *>> equalities;
        for (const auto &o : n.operands)
            if (const int fi = listableField(*o); fi >= 0)
                equalities[fi].append(o.get());
        QStringList parts;
        for (const auto &o : n.operands) {
            const int fi = listableField(*o);
            const QList<const FilterNode *> same = fi >= 0 ? equalities.value(fi) : QList<const FilterNode *>();
            if (same.size() < 2)
                parts.append(node(*o));
            else if (same.first() == o.get())
                parts.append(inList(fi, same));
            if (!out.error.isEmpty())
                break;
        }
        return parts;
    }

    QString inList(int fi, const QList<const FilterNode *> &equalities)
    {
        if (!countTerm())
            return {};
        if (!out.fields.contains(fi))
            out.fields.append(fi);
        const FieldDef f = asCompared(fi);
        const QString col = columnRef(fi);
        QList<QVariant> values;
        bool blank = false;
        for (const FilterNode *e : equalities) {
            QVariant v;
            if (!storedValue(*e, f, &v))
                return {};
            if (v.isNull())
                blank = true;
            else
                values.append(v);
        }
        out.params += values;
        const QString in =
            values.isEmpty()
                ? QString()
                : QStringLiteral("%1 IN (%2)").arg(col, QStringList(values.size(), QStringLiteral("?")).join(u','));
        if (!blank)
            return in;
        return in.isEmpty() ? col + QStringLiteral(" IS NULL") : QStringLiteral("(%1 IS NULL OR %2)").arg(col, in);
    }

    QString containsCondition(const FieldDef &f, const QString &col, const QString &literal)
    {
        if (literal.isEmpty())
            return QStringLiteral("0");
        const QString folded = FoldCase(literal);
        if (f.type == FieldType::Boolean) {
            // Two possible texts: decided here once instead of for every record.
            const bool inTrue = QStringLiteral("true").contains(folded);
            const bool inFalse = QStringLiteral("false").contains(folded);
            if (inTrue && inFalse)
                return col + QStringLiteral(" IS NOT NULL");
            if (inTrue)
                return col + QStringLiteral(" <> 0");
            if (inFalse)
                return col + QStringLiteral(" = 0");
            return QStringLiteral("0");
        }
        out.params.append(folded);
        return QStringLiteral("vt_textcontains(%1, %2, ?)").arg(col).arg(int(f.type));
    }

    // A long run as a balanced tree of pairs: SQLite's expressions may nest only
    // so deep, and a run written "a AND b AND c ..." nests as deep as it is long.
    static QString balanced(const QStringList &parts, qsizetype from, qsizetype to, const QString &keyword)
    {
        if (to - from == 1)
            return parts.at(from);
        const qsizetype mid = from + (to - from) / 2;
        return u'(' + balanced(parts, from, mid, keyword) + keyword + balanced(parts, mid, to, keyword) + u')';
    }

    QString prefixCondition(const FieldDef &f, int fi, const QString &col, bool negate, const QString &literal)
    {
        if (literal.isEmpty())
            return negate ? QStringLiteral("0") : QStringLiteral("1");
        const QString folded = FoldCase(literal);
        QString match;
        if (IsTextType(f.type)) {
            // A range on the folded text: the column's collation folds as well, so
            // an index on the column serves it. U+10FFFF sorts after every character.
            out.params.append(folded);
            out.params.append(folded + QString::fromUcs4(U"\U0010FFFF"));
            match = QStringLiteral("(%1 >= ? AND %1 < ?)").arg(col);
        } else {
            out.params.append(folded);
            match = QStringLiteral("vt_textstarts(%1, %2, ?)").arg(col).arg(int(fields.at(fi).type));
        }
        return negate ? QStringLiteral("(%1 IS NULL OR NOT %2)").arg(col, match) : match;
    }
};

Filter Filter::compare(const QString &field, CompareOp op, const QString &value, bool prefix)
{
    auto n = std::make_shared<FilterNode>();
    n->field = field;
    n->op = op;
    n->literal = value;
    n->prefix = prefix;
    return FilterCompiler::single(n);
}

Filter Filter::equals(const QString &field, const QVariant &value)
{
    auto n = std::make_shared<FilterNode>();
    n->field = field;
    n->natural = value;
    n->isNatural = true;
    return FilterCompiler::single(n);
}

Filter Filter::contains(const QString &field, const QString &text)
{
    auto n = std::make_shared<FilterNode>();
    n->field = field;
    n->literal = text;
    n->contains = true;
    return FilterCompiler::single(n);
}

Filter Filter::operator&&(const Filter &other) const
{
    return FilterCompiler::combine(*this, other, FilterNode::And);
}

Filter Filter::operator||(const Filter &other) const
{
    return FilterCompiler::combine(*this, other, FilterNode::Or);
}

CompiledFilter CompileFilter(const Filter &filter, const QList<FieldDef> &fields,
                             const std::function<QString(int)> &columnRef)
{
    FilterCompiler c{fields, columnRef, {}};
    if (!filter.isValid()) {
        c.out.error = filter.error();
        return c.out;
    }
    if (auto root = FilterCompiler::root(filter)) {
        // Filters built in code are held to the limit the text is held to.
        if (root->depth > kMaxFilterDepth)
            c.out.error = tooDeep();
        const QString where = c.node(*root);
        if (!c.out.error.isEmpty()) {
            c.out.error = filter.source().isEmpty() ? QStringLiteral("Fehler im Filter: %1").arg(c.out.error)
                                                    : QStringLiteral("Fehler im Filterausdruck \"%1\": %2")
                                                          .arg(quotedSource(filter.source()), c.out.error);
            c.out.params.clear();
            return c.out;
        }
        c.out.where = where;
    }
    return c.out;
}

} // namespace vt
