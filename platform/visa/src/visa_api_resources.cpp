// The exported resource-manager functions beyond opening: parsing names, searching for
// resources, and locking them.
#include <string>
#include <vector>

#include "api_frame.h"
#include "find_list.h"
#include "resource_name.h"
#include "visa.h"

namespace hnvisa {
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
}  // namespace hnvisa

extern "C" {

ViStatus _VI_FUNC viParseRsrc(ViSession rmSesn, ViConstRsrc rsrcName, ViPUInt16 intfType, ViPUInt16 intfNum) {
  return viParseRsrcEx(rmSesn, rsrcName, intfType, intfNum, nullptr, nullptr, nullptr);
}

ViStatus _VI_FUNC viParseRsrcEx(ViSession rmSesn, ViConstRsrc rsrcName, ViPUInt16 intfType, ViPUInt16 intfNum,
                                ViChar rsrcClass[], ViChar expandedUnaliasedName[], ViChar aliasIfExists[]) {
  return hnvisa::guarded([&]() -> ViStatus {
    hnvisa::ResourceName parsed;
    if (const ViStatus status = hnvisa::parseFor(rmSesn, rsrcName, parsed); status < VI_SUCCESS) return status;
    if (intfType != nullptr) *intfType = hnvisa::interfaceTypeOf(parsed.kind);
    if (intfNum != nullptr) *intfNum = parsed.board;
    if (rsrcClass != nullptr) hnvisa::copyToVisaString(parsed.resourceClass, rsrcClass);
    if (expandedUnaliasedName != nullptr) hnvisa::copyToVisaString(parsed.canonical, expandedUnaliasedName);
    if (aliasIfExists != nullptr) aliasIfExists[0] = '\0';  // this library has no aliases
    return VI_SUCCESS;
  });
}

ViStatus _VI_FUNC viFindRsrc(ViSession sesn, ViConstString expr, ViPFindList vi, ViPUInt32 retCnt, ViChar desc[]) {
  if (vi != nullptr) *vi = VI_NULL;
  if (retCnt != nullptr) *retCnt = 0;
  if (desc != nullptr) desc[0] = '\0';
  return hnvisa::guarded([&]() -> ViStatus {
    if (const ViStatus status = hnvisa::checkResourceManager(sesn); status < VI_SUCCESS) return status;
    if (expr == nullptr) return VI_ERROR_INV_EXPR;
    hnvisa::ResourcePattern pattern;
    if (const ViStatus status = hnvisa::ResourcePattern::compile(expr, pattern); status < VI_SUCCESS) return status;
    std::vector<std::string> found;
    for (std::string& name : hnvisa::discoverResources())
      if (pattern.matches(name)) found.push_back(std::move(name));
    if (found.empty()) return VI_ERROR_RSRC_NFOUND;
    if (desc != nullptr) hnvisa::copyToVisaString(found.front(), desc);
    if (retCnt != nullptr) *retCnt = static_cast<ViUInt32>(found.size());
    if (vi == nullptr) return VI_SUCCESS;
    // The list hands out what follows the first match, which the caller already has.
    found.erase(found.begin());
    ViFindList handle = VI_NULL;
    const ViStatus status = hnvisa::SessionTable::instance().addFindList(
        sesn, std::make_shared<hnvisa::FindList>(std::move(found)), handle);
    if (status < VI_SUCCESS) return status;
    *vi = handle;
    return VI_SUCCESS;
  });
}

ViStatus _VI_FUNC viFindNext(ViFindList vi, ViChar desc[]) {
  return hnvisa::guarded([&]() -> ViStatus {
    const std::shared_ptr<hnvisa::FindList> list = hnvisa::SessionTable::instance().findFindList(vi);
    if (!list) return VI_ERROR_INV_OBJECT;
    if (desc == nullptr) return VI_ERROR_USER_BUF;
    desc[0] = '\0';
    std::string name;
    if (!list->next(name)) return VI_ERROR_RSRC_NFOUND;
    hnvisa::copyToVisaString(name, desc);
    return VI_SUCCESS;
  });
}

ViStatus _VI_FUNC viLock(ViSession vi, ViAccessMode lockType, ViUInt32 timeout, ViConstKeyId requestedKey,
                         ViChar accessKey[]) {
  if (accessKey != nullptr) accessKey[0] = '\0';
  return hnvisa::guarded([&]() -> ViStatus {
    hnvisa::SessionTable& table = hnvisa::SessionTable::instance();
    // Not under the session's I/O lock: waiting for the resource must not stop the
    // session's other threads, nor an unlock from one of them.
    const std::shared_ptr<hnvisa::Session> session = table.findInstrument(vi);
    if (!session) return table.isResourceManager(vi) ? VI_ERROR_NSUP_OPER : VI_ERROR_INV_OBJECT;
    std::string key;
    const ViStatus status = hnvisa::LockTable::instance().lock(
        session->identity().resourceName, vi, lockType, timeout, requestedKey, key,
        [&] { return table.findInstrument(vi) != nullptr; });
    if (status >= VI_SUCCESS && accessKey != nullptr) hnvisa::copyToVisaString(key, accessKey);
    return status;
  });
}

ViStatus _VI_FUNC viUnlock(ViSession vi) {
  return hnvisa::guarded([&]() -> ViStatus {
    hnvisa::SessionTable& table = hnvisa::SessionTable::instance();
    const std::shared_ptr<hnvisa::Session> session = table.findInstrument(vi);
    if (!session) return table.isResourceManager(vi) ? VI_ERROR_NSUP_OPER : VI_ERROR_INV_OBJECT;
    return hnvisa::LockTable::instance().unlock(session->identity().resourceName, vi);
  });
}

}  // extern "C"
