/* Runs only where the machine can execute programs of its width: the question asked before a
   32-bit probe, or 32-bit Wine, is tried. */
int main(void) {
    return 0;
}
