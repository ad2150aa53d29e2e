#include "pagecache.h"

#include <algorithm>

namespace vt {

PageCache::PageCache(int pageRows, int maxPages, Loader loader)
    : m_pageRows(pageRows), m_maxPages(maxPages), m_loader(std::move(loader))
{
}

void PageCache::setFieldCount(int fieldCount)
{
    if (fieldCount != m_fieldCount)
        dropPages();
    m_fieldCount = fieldCount;
}

void PageCache::setRows(std::vector<qint64> ids)
{
    dropPages();
    m_ids = std::move(ids);
}

qint64 PageCache::idAt(qint64 row) const
{
    return row >= 0 && row < rowCount() ? m_ids[size_t(row)] : -1;
}

qint64 PageCache::rowOfId(qint64 id, bool ascending) const
{
    if (ascending) {
        const auto it = std::lower_bound(m_ids.begin(), m_ids.end(), id);
        return (it != m_ids.end() && *it == id) ? qint64(it - m_ids.begin()) : -1;
    }
    const auto it = std::find(m_ids.begin(), m_ids.end(), id);
    return it != m_ids.end() ? qint64(it - m_ids.begin()) : -1;
}

void PageCache::removeRow(qint64 row)
{
    if (row < 0 || row >= rowCount())
        return;
    m_ids.erase(m_ids.begin() + row);
    dropPages();
}

void PageCache::clear()
{
    m_ids.clear();
    dropPages();
}

void PageCache::dropPages()
{
    m_pages.clear();
    m_lru.clear();
}

void PageCache::dropPageOf(qint64 row)
{
    const qint64 pageNo = row / m_pageRows;
    m_pages.remove(pageNo);
    m_lru.removeOne(pageNo);
}

qint64 PageCache::heldRowOfId(qint64 id) const
{
    // Costs the same for any order of the rows: at most the held pages are looked at.
    for (qint64 p : m_lru) {
        const qint64 end = std::min<qint64>((p + 1) * m_pageRows, rowCount());
        for (qint64 r = p * m_pageRows; r < end; ++r)
            if (m_ids[size_t(r)] == id)
                return r;
    }
    return -1;
}

QVariant PageCache::value(qint64 row, int field)
{
    if (row < 0 || row >= rowCount() || field < 0 || field >= m_fieldCount)
        return {};
    const Page *p = page(row / m_pageRows);
    if (!p)
        return {};
    return p->values[size_t(row % m_pageRows) * size_t(m_fieldCount) + size_t(field)];
}

const PageCache::Page *PageCache::page(qint64 pageNo)
{
    auto it = m_pages.find(pageNo);
    if (it != m_pages.end()) {
        if (m_lru.constFirst() != pageNo) {
            m_lru.removeOne(pageNo);
            m_lru.prepend(pageNo);
        }
        return &it.value();
    }
    const qint64 begin = pageNo * m_pageRows;
    const qint64 end = std::min<qint64>(begin + m_pageRows, rowCount());
    if (begin >= end)
        return nullptr;
    Page p;
    p.values.resize(size_t(end - begin) * size_t(m_fieldCount));
    m_loader(m_ids.data() + begin, int(end - begin), p.values.data());
    ++m_fetches;
    while (m_lru.size() >= m_maxPages)
        m_pages.remove(m_lru.takeLast());
    m_lru.prepend(pageNo);
    return &m_pages.insert(pageNo, std::move(p)).value();
}

} // namespace vt
