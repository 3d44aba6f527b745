/* Zadanie 1a: súčet celých čísel zo vstupu. */
#include <stdio.h>

int main(void)
{
    long sucet = 0;
    int cislo;

    /* Číta, kým vstup neskončí. */
    while (scanf("%d", &cislo) == 1) {
        sucet += cislo;
    }
    printf("Sucet: %ld\n", sucet);
    return 0;
}
