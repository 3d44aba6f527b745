/* Zadanie 2b: počet riadkov. */
#include <stdio.h>

int main(void)
{
    int znak;
    int riadkov = 0;

    while ((znak = getchar()) != EOF)
        if (znak == '\n')
            riadkov++;
    printf("Riadkov: %d\n", riadkov);
    return 0;
}
