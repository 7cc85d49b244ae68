// The exported resource-manager functions beyond opening: parsing names, searching for
// resources, and locking them.
#include <string>
#include <vector>

#include "api_frame.h"
#include "find_list.h"
#include "resource_name.h"
#include "visa.h"

namespace hnvqr::visa {
namespace {

// VI_SUCCESS for an open resource manager; what an instrument session or an unknown
// handle answers otherwise.
ViStatus checkResourceManager(ViSession handle) {
  SessionTable& table = SessionTable::instance();
  if (table.isResourceManager(handle)) return VI_SUCCESS;
  return table.findInstrument(handle) ? VI_ERROR_NSUP_OPER : VI_ERROR_INV_OBJECT;
}

ViStatus parseFor(ViSession manager, ViConstRsrc name, ResourceName& parsed) {
  if (const ViStatus status = checkResourceManager(manager); status < VI_SUCCESS) return status;
  if (name == nullptr) return VI_ERROR_INV_RSRC_NAME;
  return parseResourceName(name, parsed);
}

}  // namespace
}  // namespace hnvqr::visa

extern "C" {

ViStatus _VI_FUNC viParseRsrc(ViSession rmSesn, ViConstRsrc rsrcName, ViPUInt16 intfType, ViPUInt16 intfNum) {
  return viParseRsrcEx(rmSesn, rsrcName, intfType, intfNum, nullptr, nullptr, nullptr);
}

ViStatus _VI_FUNC viParseRsrcEx(ViSession rmSesn, ViConstRsrc rsrcName, ViPUInt16 intfType, ViPUInt16 intfNum,
                                ViChar rsrcClass[], ViChar expandedUnaliasedName[], ViChar aliasIfExists[]) {
  return hnvqr::visa::guarded([&]() -> ViStatus {
    hnvqr::visa::ResourceName parsed;
    if (const ViStatus status = hnvqr::visa::parseFor(rmSesn, rsrcName, parsed); status < VI_SUCCESS) return status;
    if (intfType != nullptr) *intfType = hnvqr::visa::interfaceTypeOf(parsed.kind);
    if (intfNum != nullptr) *intfNum = parsed.board;
    if (rsrcClass != nullptr) hnvqr::visa::copyToVisaString(parsed.resourceClass, rsrcClass);
    if (expandedUnaliasedName != nullptr) hnvqr::visa::copyToVisaString(parsed.canonical, expandedUnaliasedName);
    if (aliasIfExists != nullptr) aliasIfExists[0] = '\0';  // this library has no aliases
    return VI_SUCCESS;
  });
}

ViStatus _VI_FUNC viFindRsrc(ViSession sesn, ViConstString expr, ViPFindList vi, ViPUInt32 retCnt, ViChar desc[]) {
  if (vi != nullptr) *vi = VI_NULL;
  if (retCnt != nullptr) *retCnt = 0;
  if (desc != nullptr) desc[0] = '\0';
  return hnvqr::visa::guarded([&]() -> ViStatus {
    if (const ViStatus status = hnvqr::visa::checkResourceManager(sesn); status < VI_SUCCESS) return status;
    if (expr == nullptr) return VI_ERROR_INV_EXPR;
    hnvqr::visa::ResourcePattern pattern;
    if (const ViStatus status = hnvqr::visa::ResourcePattern::compile(expr, pattern); status < VI_SUCCESS)
      return status;
    std::vector<std::string> found;
    for (std::string& name : hnvqr::visa::discoverResources())
      if (pattern.matches(name)) found.push_back(std::move(name));
    if (found.empty()) return VI_ERROR_RSRC_NFOUND;
    if (desc != nullptr) hnvqr::visa::copyToVisaString(found.front(), desc);
    if (retCnt != nullptr) *retCnt = static_cast<ViUInt32>(found.size());
    if (vi == nullptr) return VI_SUCCESS;
    // The list hands out what follows the first match, which the caller already has.
    found.erase(found.begin());
    ViFindList handle = VI_NULL;
    const ViStatus status = hnvqr::visa::SessionTable::instance().addFindList(
        sesn, std::make_shared<hnvqr::visa::FindList>(std::move(found)), handle);
    if (status < VI_SUCCESS) return status;
    *vi = handle;
    return VI_SUCCESS;
  });
}

ViStatus _VI_FUNC viFindNext(ViFindList vi, ViChar desc[]) {
  return hnvqr::visa::guarded([&]() -> ViStatus {
    const std::shared_ptr<hnvqr::visa::FindList> list = hnvqr::visa::SessionTable::instance().findFindList(vi);
    if (!list) return VI_ERROR_INV_OBJECT;
    if (desc == nullptr) return VI_ERROR_USER_BUF;
    desc[0] = '\0';
    std::string name;
    if (!list->next(name)) return VI_ERROR_RSRC_NFOUND;
    hnvqr::visa::copyToVisaString(name, desc);
    return VI_SUCCESS;
  });
}

ViStatus _VI_FUNC viLock(ViSession vi, ViAccessMode lockType, ViUInt32 timeout, ViConstKeyId requestedKey,
                         ViChar accessKey[]) {
  if (accessKey != nullptr) accessKey[0] = '\0';
  return hnvqr::visa::guarded([&]() -> ViStatus {
    hnvqr::visa::SessionTable& table = hnvqr::visa::SessionTable::instance();
    // Not under the session's I/O lock: waiting for the resource must not stop the
    // session's other threads, nor an unlock from one of them.
    const std::shared_ptr<hnvqr::visa::Session> session = table.findInstrument(vi);
    if (!session) return table.isResourceManager(vi) ? VI_ERROR_NSUP_OPER : VI_ERROR_INV_OBJECT;
    std::string key;
    const ViStatus status =
        hnvqr::visa::LockTable::instance().lock(session->identity().resourceName, vi, lockType, timeout, requestedKey,
                                                key, [&] { return table.findInstrument(vi) != nullptr; });
    if (status >= VI_SUCCESS && accessKey != nullptr) hnvqr::visa::copyToVisaString(key, accessKey);
    return status;
  });
}

ViStatus _VI_FUNC viUnlock(ViSession vi) {
  return hnvqr::visa::guarded([&]() -> ViStatus {
    hnvqr::visa::SessionTable& table = hnvqr::visa::SessionTable::instance();
    const std::shared_ptr<hnvqr::visa::Session> session = table.findInstrument(vi);
    if (!session) return table.isResourceManager(vi) ? VI_ERROR_NSUP_OPER : VI_ERROR_INV_OBJECT;
    return hnvqr::visa::LockTable::instance().unlock(session->identity().resourceName, vi);
  });
}

}  // extern "C"
