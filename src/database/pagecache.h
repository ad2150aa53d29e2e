#pragma once
// The rows of a table view and their values in pages.
//
// The rows are the record IDs under the current filter in the current order,
// read in one query. Values are read a page of rows at a time when a row of
// the page is first asked for, and only the pages used last are kept, so only a
// small part of the table is ever in memory however it is walked.
#include <QHash>
#include <QList>
#include <QVariant>

#include <functional>
#include <vector>

namespace vt {

class PageCache
{
public:
    // Reads the stored values of count records, fieldCount values per record in
    // the order of ids, into values; a record it does not find stays blank.
    using Loader = std::function<void(const qint64 *ids, int count, QVariant *values)>;

    PageCache(int pageRows, int maxPages, Loader loader);

    int pageRows() const { return m_pageRows; }
    // The values per row; pages held are dropped when it changes.
    void setFieldCount(int fieldCount);

    // New rows; every page is dropped.
    void setRows(std::vector<qint64> ids);
    const std::vector<qint64> &ids() const { return m_ids; }
    qint64 rowCount() const { return qint64(m_ids.size()); }
    bool isEmpty() const { return m_ids.empty(); }
    // -1 outside the rows.
    qint64 idAt(qint64 row) const;
    // The row of a record, -1 when it is not among the rows; ascending says the
    // rows are in ascending order of ID, so it is found by halving.
    qint64 rowOfId(qint64 id, bool ascending) const;
    // Takes one row out; every page is dropped, the rows after it move up.
    void removeRow(qint64 row);
    // No rows and no pages.
    void clear();

    // A value of any row, read with its page when that is not held (blank
    // outside the rows or fields).
    QVariant value(qint64 row, int field);
    void dropPages();
    // Drops the page that holds the row, so that it is read anew.
    void dropPageOf(qint64 row);
    // The row of a record among the pages held only; -1 when none holds it.
    qint64 heldRowOfId(qint64 id) const;

    // How often pages were read, and how many rows the pages held now cover.
    int fetches() const { return m_fetches; }
    int heldRows() const { return int(m_pages.size()) * m_pageRows; }

private:
    struct Page
    {
        std::vector<QVariant> values; // rows x fields
    };
    const Page *page(qint64 pageNo);

    const int m_pageRows;
    const int m_maxPages;
    Loader m_loader;
    int m_fieldCount = 0;
    std::vector<qint64> m_ids;
    QHash<qint64, Page> m_pages;
    QList<qint64> m_lru; // page numbers, used last first
    int m_fetches = 0;
};

} // namespace vt
