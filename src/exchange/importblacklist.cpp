#include "importblacklist.h"

#include "text.h"
#include "textfile.h"

#include <deque>

namespace vt {

ImportBlacklist::ImportBlacklist(const QStringList &terms)
{
    build(terms);
}

bool ImportBlacklist::load(const QString &path)
{
    bool ok = false;
    const QStringList lines = ReadLines(path, &ok);
    build(ok ? lines : QStringList());
    return ok;
}

int ImportBlacklist::child(int node, char16_t c) const
{
    if (node == 0 && c < 128)
        return m_rootAscii[c] ? m_rootAscii[c] : -1;
    const auto it = m_edges.find(quint64(node) << 16 | c);
    return it == m_edges.end() ? -1 : it->second;
}

void ImportBlacklist::build(const QStringList &terms)
{
    m_nodes.assign(1, Node{});
    m_edges.clear();
    std::fill(std::begin(m_rootAscii), std::end(m_rootAscii), 0);
    for (const QString &term : terms) {
        const QString t = FoldCase(Trimmed(term));
        if (t.isEmpty())
            continue;
        int node = 0;
        for (QChar qc : t) {
            const char16_t c = qc.unicode();
            int next = child(node, c);
            if (next < 0) {
                next = int(m_nodes.size());
                m_nodes.push_back(Node{});
                if (node == 0 && c < 128)
                    m_rootAscii[c] = next;
                else
                    m_edges.emplace(quint64(node) << 16 | c, next);
            }
            node = next;
        }
        m_nodes[node].terminal = true;
    }
    // Failure links, breadth first; a node is terminal when a term ends at its
    // longest proper suffix that is in the tree.
    std::vector<std::vector<std::pair<char16_t, int>>> children(m_nodes.size());
    for (int c = 0; c < 128; ++c)
        if (m_rootAscii[c])
            children[0].emplace_back(char16_t(c), m_rootAscii[c]);
    for (const auto &[key, to] : m_edges)
        children[size_t(key >> 16)].emplace_back(char16_t(key & 0xFFFF), to);
    std::deque<int> queue;
    for (const auto &[c, to] : children[0]) {
        m_nodes[to].fail = 0;
        queue.push_back(to);
    }
    while (!queue.empty()) {
        const int node = queue.front();
        queue.pop_front();
        for (const auto &[c, to] : children[size_t(node)]) {
            int f = m_nodes[node].fail;
            int next = child(f, c);
            while (next < 0 && f != 0) {
                f = m_nodes[f].fail;
                next = child(f, c);
            }
            m_nodes[to].fail = next < 0 || next == to ? 0 : next;
            m_nodes[to].terminal = m_nodes[to].terminal || m_nodes[m_nodes[to].fail].terminal;
            queue.push_back(to);
        }
    }
}

bool ImportBlacklist::matches(const QString &line) const
{
    if (isEmpty())
        return false;
    const QString folded = FoldCase(line);
    int node = 0;
    for (QChar qc : folded) {
        const char16_t c = qc.unicode();
        int next = child(node, c);
        while (next < 0 && node != 0) {
            node = m_nodes[node].fail;
            next = child(node, c);
        }
        node = next < 0 ? 0 : next;
        if (m_nodes[node].terminal)
            return true;
    }
    return false;
}

} // namespace vt
