/* Úloha 1a - spočítanie čísel. */
#include <stdio.h>

int main(void) {
  long sucet = 0;
  int cislo;
  /* načítavanie až po koniec súboru */
  while (scanf("%d", &cislo) == 1)
  {
    sucet += cislo;
  }
  printf("Sucet: %ld\n", sucet);
  return 0;
}
