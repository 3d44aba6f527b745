/* Zadanie 2a: počet slov v texte. */
#include <ctype.h>
#include <stdio.h>

int main(void)
{
    int znak, slov = 0, vSlove = 0;

    while ((znak = getchar()) != EOF) {
        if (isspace(znak)) {
            vSlove = 0;
        } else if (!vSlove) {
            vSlove = 1;
            slov++;
        }
    }
    printf("Slov: %d\n", slov);
    return 0;
}
