#pragma once
#include <cstddef>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

// A list of rows that copies share until one of them is changed: a customer's rows are held
// once however many lists and searches hand the customer around. Reading never allocates;
// changing a shared list gives the changed copy rows of its own, the others keep theirs.
template <class T>
class SharedRows {
public:
    using value_type = T;
    using const_iterator = typename std::vector<T>::const_iterator;
    using iterator = const_iterator;

    SharedRows() = default;
    SharedRows(std::vector<T> rows) // NOLINT(google-explicit-constructor): a vector is a list of rows
    {
        if (!rows.empty())
            m_rows = std::make_shared<std::vector<T>>(std::move(rows));
    }
    SharedRows(std::initializer_list<T> rows) : SharedRows(std::vector<T>(rows)) {}

    const std::vector<T>& rows() const { return m_rows ? *m_rows : none(); }
    operator const std::vector<T>&() const { return rows(); } // NOLINT(google-explicit-constructor)

    const_iterator begin() const { return rows().begin(); }
    const_iterator end() const { return rows().end(); }
    std::size_t size() const { return m_rows ? m_rows->size() : 0; }
    bool empty() const { return size() == 0; }
    const T& operator[](std::size_t i) const { return (*m_rows)[i]; }
    const T& front() const { return m_rows->front(); }
    const T& back() const { return m_rows->back(); }

    // The rows to change, first made this list's own when another list shares them.
    std::vector<T>& edit()
    {
        if (!m_rows)
            m_rows = std::make_shared<std::vector<T>>();
        else if (m_rows.use_count() > 1)
            m_rows = std::make_shared<std::vector<T>>(*m_rows);
        return *m_rows;
    }
    void push_back(T row) { edit().push_back(std::move(row)); }
    void clear() { m_rows.reset(); }

    // Whether both lists hold the very same rows (not merely equal ones).
    bool sharesWith(const SharedRows& other) const { return m_rows && m_rows == other.m_rows; }

    friend bool operator==(const SharedRows& a, const SharedRows& b) { return a.rows() == b.rows(); }

private:
    static const std::vector<T>& none()
    {
        static const std::vector<T> nothing;
        return nothing;
    }

    std::shared_ptr<std::vector<T>> m_rows;
};
