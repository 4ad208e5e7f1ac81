// Anchor for the support library (header-only helpers live beside it).
namespace qor::test {
int support_library_anchor() { return 0; }
}  // namespace qor::test
