// The program the Authenticode tests sign: any small executable will do.
int main() { return 0; }
