// Attribute caching: per-session cache entries, reached only through scope objects that
// store the value when they end (so that early returns cannot skip them).
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>

#include <visatype.h>

namespace kel {

template <class T>
struct CacheEntry {
  bool valid = false;
  T value{};
};

// One map per cached value type: attribute ID -> repeated-capability name -> entry.
class CacheStore {
 public:
  template <class T>
  CacheEntry<T>& FindOrCreate(ViAttr id, std::string_view repCapName) {
    auto& byName = MapFor<T>()[id];
    auto it = byName.find(repCapName);
    if (it == byName.end()) it = byName.emplace(std::string(repCapName), CacheEntry<T>{}).first;
    return it->second;
  }

  void Clear();

 private:
  template <class T>
  using Map = std::unordered_map<ViAttr, std::map<std::string, CacheEntry<T>, std::less<>>>;

  template <class T>
  Map<T>& MapFor();

  Map<ViInt32> int32_;
  Map<ViReal64> real64_;
  Map<ViBoolean> boolean_;
  Map<std::string> string_;
};

template <>
inline CacheStore::Map<ViInt32>& CacheStore::MapFor<ViInt32>() {
  return int32_;
}
template <>
inline CacheStore::Map<ViReal64>& CacheStore::MapFor<ViReal64>() {
  return real64_;
}
template <>
inline CacheStore::Map<ViBoolean>& CacheStore::MapFor<ViBoolean>() {
  return boolean_;
}
template <>
inline CacheStore::Map<std::string>& CacheStore::MapFor<std::string>() {
  return string_;
}

class DriverSession;

// Common part of the scopes: active when CACHE or SIMULATE of the session is on.
class CacheManagerBase {
 protected:
  CacheManagerBase(DriverSession& session, ViAttr id, void* value);
  DriverSession& session() const { return session_; }

  DriverSession& session_;
  ViAttr id_;
  bool active_;
  void* value_;
};

template <class T>
class CacheManager : public CacheManagerBase {
 public:
  virtual ~CacheManager() = default;
  CacheManager(const CacheManager&) = delete;
  CacheManager& operator=(const CacheManager&) = delete;
  bool active() const { return active_; }

 protected:
  using CacheManagerBase::CacheManagerBase;
};

// Getter scope: when active it holds the attribute's entry (creating a not-valid one), and
// on destruction stores the caller's variable into it and marks it valid.
template <class T, class Tag = std::nullptr_t>
class GetterCacheManager : public CacheManager<T> {
 public:
  GetterCacheManager(DriverSession& session, ViAttr id, T* callerValue);
  ~GetterCacheManager() override;
  CacheEntry<T>* entry() const { return entry_; }

 private:
  CacheEntry<T>* entry_ = nullptr;
};

// The string form: the caller's buffer is the value; its text is copied on destruction.
template <class Tag>
class GetterCacheManager<std::string, Tag> : public CacheManager<std::string> {
 public:
  GetterCacheManager(DriverSession& session, ViAttr id, ViInt32 bufferSize, ViChar* buffer);
  ~GetterCacheManager() override;
  CacheEntry<std::string>* entry() const { return entry_; }

 private:
  CacheEntry<std::string>* entry_ = nullptr;
};

// Setter scope: on destruction, when active, stores the value being set and marks it valid.
// A set that failed (Failed() was called) stores nothing and marks the entry not valid:
// the instrument may hold either value now, and a refused value must never be read back.
template <class T, class Tag = std::nullptr_t>
class SetterCacheManager : public CacheManager<T> {
 public:
  SetterCacheManager(DriverSession& session, ViAttr id, T* newValue);
  ~SetterCacheManager() override;
  // Passes `outcome` through; a negative one marks the set as failed.
  ViStatus Outcome(ViStatus outcome) {
    if (outcome < 0) failed_ = true;
    return outcome;
  }

 private:
  bool failed_ = false;
};

}  // namespace kel
