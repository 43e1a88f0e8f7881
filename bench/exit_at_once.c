/* The smallest program there is: the reference for the cost of a start. */
int main(void) {
  return 0;
}
