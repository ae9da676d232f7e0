// CObject and CObList: the framework's object base and its doubly linked list of object pointers.
#pragma once

#include <windows.h>

class CObject {
public:
    virtual ~CObject() {}

protected:
    CObject() {}

private:
    CObject(const CObject&) = delete;
    CObject& operator=(const CObject&) = delete;
};

struct __POSITION {};
typedef __POSITION* POSITION;

// Holds pointers only: the list never deletes what it holds; its owner does.
class CObList {
public:
    explicit CObList(int blockSize = 10) : m_nBlockSize(blockSize) {}
    ~CObList() { RemoveAll(); }

    int GetCount() const { return m_nCount; }
    BOOL IsEmpty() const { return m_nCount == 0; }
    int GetBlockSize() const { return m_nBlockSize; }

    POSITION AddTail(CObject* p);
    POSITION AddHead(CObject* p);
    // The list must not be empty.
    CObject* RemoveHead();
    CObject* RemoveTail();
    CObject* GetHead() const;
    CObject* GetTail() const;
    void RemoveAll();

    POSITION GetHeadPosition() const { return reinterpret_cast<POSITION>(m_pHead); }
    // Returns the element at `pos` and moves `pos` to the next one (NULL after the tail).
    CObject*& GetNext(POSITION& pos);

private:
    struct Node {
        Node* pNext;
        Node* pPrev;
        CObject* data;
    };
    Node* m_pHead = nullptr;
    Node* m_pTail = nullptr;
    int m_nCount = 0;
    int m_nBlockSize;

    CObList(const CObList&) = delete;
    CObList& operator=(const CObList&) = delete;
};
