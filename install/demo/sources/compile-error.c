/*
 * Moje riešenie zadania 1, ešte nedokončené.
 * Výsledok počítam v samostatnej funkcii.
 */
#include <stdio.h>

static long spracuj(void)
{
    long vysledok = 0;
    int cislo;

    while (scanf("%d", &cislo) == 1) {
        vysledok = vysledok + cislo
    }
    return vysledok;
}

int main(void)
{
    long hodnota;

    hodnota = spracuj();
    if (hodnota < 0) {
        printf("Vysledok je zaporny: %ld\n", hodnota);
    } else {
        printf("Vysledok: %ld\n", hodnota);
    }
    return 0;
}
