// Stands in for a test program: prints the file beside it named after itself (.txt), exits 0.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(void) {
  char name[_MAX_PATH];
  strcpy(strrchr(strcpy(name, _pgmptr), '.'), ".txt");
  FILE* text = fopen(name, "r");
  for (int c; text != NULL && (c = getc(text)) != EOF;) putchar(c);
}
