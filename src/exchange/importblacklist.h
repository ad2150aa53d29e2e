#pragma once
// The blacklist of an import: terms (names, addresses, domain parts), one a
// line; a source line that contains any of them, without regard to case, is not
// imported. An empty or blank term matches nothing. All terms are looked for in
// one pass over the line (Aho-Corasick), so long lists cost little.
#include <QString>
#include <QStringList>

#include <unordered_map>
#include <vector>

namespace vt {

class ImportBlacklist
{
public:
    ImportBlacklist() = default;
    explicit ImportBlacklist(const QStringList &terms);
    // Reads the terms from a text file; false when it cannot be read.
    bool load(const QString &path);
    bool isEmpty() const { return m_nodes.size() <= 1; }
    bool matches(const QString &line) const;

private:
    struct Node
    {
        int fail = 0;
        bool terminal = false;
    };
    void build(const QStringList &terms);
    int child(int node, char16_t c) const;

    std::vector<Node> m_nodes{Node{}};
    std::unordered_map<quint64, int> m_edges; // node << 16 | character -> node
    int m_rootAscii[128] = {};                // the root's edges for ASCII, 0 for none
};

} // namespace vt
