// The controller's owning singly linked list. Query results cross from DevServer
// and VSServer to the reply builders as lists of heap copies; the list frees them.
#pragma once

#include <cstdio>

template <typename T>
struct ArrayListNode {
    T* data = nullptr;  // null in the two sentinels
    ArrayListNode* next = nullptr;
};

template <typename T>
class ArrayList {
public:
    // The head sentinel links straight to the empty tail sentinel.
    ArrayList() : head(new ArrayListNode<T>), tail(new ArrayListNode<T>), count(0) {
        head->next = tail;
    }

    virtual ~ArrayList() {
        ArrayListNode<T>* node = head;
        while (node) {
            ArrayListNode<T>* next = node->next;
            delete node->data;
            delete node;
            node = next;
        }
    }

    // Appends item and takes ownership of it: the tail sentinel receives it and a new empty
    // sentinel becomes the tail.
    void add(T* item) {
        ArrayListNode<T>* sentinel = new ArrayListNode<T>;
        tail->data = item;
        tail->next = sentinel;
        tail = sentinel;
        ++count;
    }

    // The element at position i (0 is the first added). Past the end (or below 0) it prints
    // "Index is too long!" on standard output and gives null.
    T* get(int i) {
        if (i < 0 || i >= count) {
            printf("%s\n", "Index is too long!");
            return nullptr;
        }
        ArrayListNode<T>* node = head->next;
        for (int step = 0; step < i; ++step) node = node->next;
        return node->data;
    }

    // The list owns its elements: a copy would free them twice.
    ArrayList(const ArrayList&) = delete;
    ArrayList& operator=(const ArrayList&) = delete;

    ArrayListNode<T>* head;
    ArrayListNode<T>* tail;
    int count;
};
