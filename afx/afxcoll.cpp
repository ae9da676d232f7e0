// CObList operations.
#include "afx/afxcoll.h"

POSITION CObList::AddTail(CObject* p) {
    Node* node = new Node{nullptr, m_pTail, p};
    if (m_pTail)
        m_pTail->pNext = node;
    else
        m_pHead = node;
    m_pTail = node;
    m_nCount++;
    return reinterpret_cast<POSITION>(node);
}

POSITION CObList::AddHead(CObject* p) {
    Node* node = new Node{m_pHead, nullptr, p};
    if (m_pHead)
        m_pHead->pPrev = node;
    else
        m_pTail = node;
    m_pHead = node;
    m_nCount++;
    return reinterpret_cast<POSITION>(node);
}

CObject* CObList::RemoveHead() {
    Node* node = m_pHead;
    CObject* p = node->data;
    m_pHead = node->pNext;
    if (m_pHead)
        m_pHead->pPrev = nullptr;
    else
        m_pTail = nullptr;
    delete node;
    m_nCount--;
    return p;
}

CObject* CObList::RemoveTail() {
    Node* node = m_pTail;
    CObject* p = node->data;
    m_pTail = node->pPrev;
    if (m_pTail)
        m_pTail->pNext = nullptr;
    else
        m_pHead = nullptr;
    delete node;
    m_nCount--;
    return p;
}

CObject* CObList::GetHead() const {
    return m_pHead->data;
}

CObject* CObList::GetTail() const {
    return m_pTail->data;
}

void CObList::RemoveAll() {
    while (m_pHead)
        RemoveHead();
}

CObject*& CObList::GetNext(POSITION& pos) {
    Node* node = reinterpret_cast<Node*>(pos);
    pos = reinterpret_cast<POSITION>(node->pNext);
    return node->data;
}
