#include <stdlib.h>
#include "list.h"

void list_init(List *list)
{
    list->head = NULL;
    list->size = 0u;
}

int list_push(List *list, int value)
{
    Node *n = (Node *) malloc(sizeof(Node));
    if (n == NULL)
        return 0;
    n->value = value;
    n->next = list->head;
    list->head = n;
    ++list->size;
    return 1;
}

long list_sum(const List *list)
{
    long sum = 0L;
    const Node *n;
    for (n = list->head; n != NULL; n = n->next)
        sum += n->value;
    return sum;
}

void list_free(List *list)
{
    while (list->head) {
        Node *next = list->head->next;
        free(list->head);
        list->head = next;
    }
    list->size = 0;
}
