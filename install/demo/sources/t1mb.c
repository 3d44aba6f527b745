/* Zadanie 1b: najväčšie číslo na vstupe. */
#include <stdio.h>
#include <limits.h>

static int najvacsie(void)
{
    int maximum = INT_MIN;
    int cislo;

    while (scanf("%d", &cislo) == 1)
        if (cislo > maximum)
            maximum = cislo;
    return maximum;
}

int main(void)
{
    printf("Maximum: %d\n", najvacsie());
    return 0;
}
