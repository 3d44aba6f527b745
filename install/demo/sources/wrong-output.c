/*
 * Zadanie 1 - spracovanie čísel zo vstupu.
 * Čísla si najprv uložím do poľa, potom ich vypíšem aj s ich počtom.
 */
#include <stdio.h>

#define MAX_CISEL 100

static int nacitaj(int cisla[], int kapacita)
{
    int pocet = 0;

    while (pocet < kapacita && scanf("%d", &cisla[pocet]) == 1) {
        pocet++;
    }
    return pocet;
}

static void vypis(const int cisla[], int pocet)
{
    int i;

    printf("Nacitanych cisel: %d\n", pocet);
    for (i = 0; i < pocet; i++) {
        printf("%d. cislo je %d\n", i + 1, cisla[i]);
    }
}

int main(void)
{
    int cisla[MAX_CISEL];
    int pocet = nacitaj(cisla, MAX_CISEL);

    vypis(cisla, pocet);
    return 0;
}
