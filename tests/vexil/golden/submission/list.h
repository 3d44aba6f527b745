/* list.h - a singly linked list of integers
 * Invariant: head == NULL && size == 0, or head points to size nodes.
 */
#ifndef LIST_H
#define LIST_H

#include <stddef.h>

typedef struct node {
    int value;
    struct node *next;
} Node;

typedef struct {
    Node *head;
    size_t size;
} List;

void list_init(List *list);
int list_push(List *list, int value);   // returns 0 when out of memory
long list_sum(const List *list);
void list_free(List *list);

#endif
