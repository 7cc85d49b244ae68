// libhnvisa is hnvisa_core linked in whole; this unit only gives the shared library a source.
namespace hnvqr::visa {}  // namespace hnvqr::visa
