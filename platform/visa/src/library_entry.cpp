// libhnvisa is hnvisa_core linked in whole; this unit only gives the shared library a source.
namespace hnvisa {
}  // namespace hnvisa
