// CStringArray: a growable array of CString, MFC-shaped.
#pragma once
#include <vector>

#include "String.h"

class CStringArray {
public:
    int GetSize() const { return static_cast<int>(m_items.size()); }
    int GetCount() const { return GetSize(); }
    int GetUpperBound() const { return GetSize() - 1; }
    const CString& GetAt(int index) const { return m_items.at(static_cast<size_t>(index)); }
    CString& ElementAt(int index) { return m_items.at(static_cast<size_t>(index)); }
    const CString& operator[](int index) const { return GetAt(index); }
    CString& operator[](int index) { return ElementAt(index); }
    void SetAt(int index, const CString& value) { ElementAt(index) = value; }
    // Grows the array with empty strings as needed, then sets the element.
    void SetAtGrow(int index, const CString& value)
    {
        if (index < 0)
            return;
        if (static_cast<size_t>(index) >= m_items.size())
            m_items.resize(static_cast<size_t>(index) + 1);
        m_items[static_cast<size_t>(index)] = value;
    }
    int Add(const CString& value)
    {
        m_items.push_back(value);
        return GetSize() - 1;
    }
    void RemoveAt(int index)
    {
        if (index >= 0 && static_cast<size_t>(index) < m_items.size())
            m_items.erase(m_items.begin() + index);
    }
    void RemoveAll() { m_items.clear(); }

private:
    std::vector<CString> m_items;
};
