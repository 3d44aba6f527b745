/* Zadanie 2c: samohlásky v texte. */
#include <ctype.h>
#include <stdio.h>
#include <string.h>

int main(void)
{
    int znak, pocet = 0;

    while ((znak = getchar()) != EOF) {
        if (strchr("aeiouy", tolower(znak)) != NULL && znak != '\0') {
            pocet++;
        }
    }
    printf("Samohlasok: %d\n", pocet);
    return 0;
}
