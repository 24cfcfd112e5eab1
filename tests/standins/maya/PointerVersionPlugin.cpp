// A library that exports its version text as a pointer to the characters
// instead of the characters themselves: the host reads the bytes at the
// symbol and must refuse it.
extern "C" {
__attribute__((visibility("default"))) const char* MApiVersion = "850";
}
