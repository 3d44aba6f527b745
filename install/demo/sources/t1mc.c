/* Zadanie 1c: počet párnych čísel. */
#include <stdio.h>

int main(void)
{
    int cislo, parnych = 0;

    while (scanf("%d", &cislo) == 1) {
        if (cislo % 2 == 0) {
            parnych++;
        }
    }
    printf("Parnych: %d\n", parnych);
    return 0;
}
