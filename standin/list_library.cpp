// ktlstlib: doubly linked lists of caller-allocated nodes.
#include <cstdlib>

#include "host/host_services.h"

extern "C" {

void lstInitList(ListHeader* list) {
    list->head = nullptr;
    list->tail = nullptr;
}

void lstAddTail(ListHeader* list, ListNode* node) {
    node->next = nullptr;
    node->prev = list->tail;
    if (list->tail != nullptr)
        list->tail->next = node;
    else
        list->head = node;
    list->tail = node;
}

ListNode* lstFirst(ListHeader* list) { return list->head; }

ListNode* lstNext(ListNode* node) { return node != nullptr ? node->next : nullptr; }

ListNode* lstRemoveHead(ListHeader* list) {
    ListNode* node = list->head;
    if (node == nullptr) return nullptr;
    list->head = node->next;
    if (list->head != nullptr)
        list->head->prev = nullptr;
    else
        list->tail = nullptr;
    node->next = nullptr;
    node->prev = nullptr;
    return node;
}

void lstFreeList(ListHeader* list) {
    ListNode* node = list->head;
    while (node != nullptr) {
        ListNode* next = node->next;
        std::free(node);
        node = next;
    }
    // The header goes with the list: the caller touches neither afterwards.
    std::free(list);
}

}  // extern "C"
