#pragma once
// The ordered, growable array behind the object list, the timeline keys and
// the script table. Elements are plain values (pointers, integers); an array
// of owned pointers leaves deleting them to its owner.
//
// Growth: when full, the capacity grows by its current capacity (16 when
// empty), capped so that the count stays below 2^29. A failed allocation
// leaves the array exactly as it was and reports E_OUTOFMEMORY.
#include <cstdlib>
#include <cstring>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "io/Result.h"

namespace mv {

struct MallocAllocator {
  static void* Reallocate(void* p, std::size_t bytes) { return std::realloc(p, bytes); }
  static void Free(void* p) { std::free(p); }
};

template <class T, class Allocator = MallocAllocator>
class GrowableArray {
  static_assert(std::is_trivially_copyable_v<T>, "elements are moved with memmove");

 public:
  // The count stays below 2^29.
  static constexpr int kMaxCount = (1 << 29) - 1;

  GrowableArray() = default;
  GrowableArray(const GrowableArray&) = delete;
  GrowableArray& operator=(const GrowableArray&) = delete;
  GrowableArray(GrowableArray&& o) noexcept
      : m_pData(std::exchange(o.m_pData, nullptr)),
        m_nSize(std::exchange(o.m_nSize, 0)),
        m_nCapacity(std::exchange(o.m_nCapacity, 0)) {}
  GrowableArray& operator=(GrowableArray&& o) noexcept {
    if (this != &o) {
      Allocator::Free(m_pData);
      m_pData = std::exchange(o.m_pData, nullptr);
      m_nSize = std::exchange(o.m_nSize, 0);
      m_nCapacity = std::exchange(o.m_nCapacity, 0);
    }
    return *this;
  }
  ~GrowableArray() { Allocator::Free(m_pData); }

  int GetSize() const { return m_nSize; }
  int GetCapacity() const { return m_nCapacity; }
  bool IsEmpty() const { return m_nSize == 0; }
  bool IsValidIndex(int i) const { return i >= 0 && i < m_nSize; }

  T& GetAt(int i) { return m_pData[i]; }
  const T& GetAt(int i) const { return m_pData[i]; }
  T& operator[](int i) { return m_pData[i]; }
  const T& operator[](int i) const { return m_pData[i]; }
  T* GetData() { return m_pData; }
  const T* GetData() const { return m_pData; }
  T* begin() { return m_pData; }
  T* end() { return m_pData + m_nSize; }
  const T* begin() const { return m_pData; }
  const T* end() const { return m_pData + m_nSize; }

  HRESULT Add(const T& value) { return Insert(m_nSize, value); }

  // Positions 0 .. count; later elements move up by one.
  HRESULT Insert(int index, const T& value) {
    if (index < 0 || index > m_nSize) return E_INVALIDARG;
    T copy = value;  // value may live inside the array, which may move
    if (m_nSize == m_nCapacity) {
      HRESULT hr = Grow();
      if (Failed(hr)) return hr;
    }
    if (index < m_nSize)
      std::memmove(static_cast<void*>(m_pData + index + 1), m_pData + index,
                   sizeof(T) * static_cast<std::size_t>(m_nSize - index));
    m_pData[index] = copy;
    ++m_nSize;
    return S_OK;
  }

  // Positions 0 .. count - 1; later elements move down by one.
  HRESULT Remove(int index) {
    if (index < 0 || index >= m_nSize) return E_INVALIDARG;
    if (index < m_nSize - 1)
      std::memmove(static_cast<void*>(m_pData + index), m_pData + index + 1,
                   sizeof(T) * static_cast<std::size_t>(m_nSize - index - 1));
    --m_nSize;
    return S_OK;
  }

  // Forgets every element but keeps the storage, so refilling allocates
  // nothing.
  void Clear() { m_nSize = 0; }

  // Forgets every element and frees the storage.
  void RemoveAll() {
    Allocator::Free(m_pData);
    m_pData = nullptr;
    m_nSize = m_nCapacity = 0;
  }

  // Makes room for at least n elements without changing the count.
  HRESULT Reserve(int n) {
    if (n < 0 || n > kMaxCount) return E_INVALIDARG;
    if (n <= m_nCapacity) return S_OK;
    return SetCapacity(n);
  }

  int IndexOf(const T& value) const {
    for (int i = 0; i < m_nSize; ++i)
      if (m_pData[i] == value) return i;
    return -1;
  }

 private:
  HRESULT Grow() {
    if (m_nCapacity >= kMaxCount) return E_OUTOFMEMORY;
    long long wanted = m_nCapacity == 0 ? 16 : 2LL * m_nCapacity;
    if (wanted > kMaxCount) wanted = kMaxCount;
    return SetCapacity(static_cast<int>(wanted));
  }

  HRESULT SetCapacity(int capacity) {
    void* p = Allocator::Reallocate(m_pData, sizeof(T) * static_cast<std::size_t>(capacity));
    if (!p) return E_OUTOFMEMORY;  // the old block is untouched
    m_pData = static_cast<T*>(p);
    m_nCapacity = capacity;
    return S_OK;
  }

  T* m_pData = nullptr;
  int m_nSize = 0;
  int m_nCapacity = 0;
};

}  // namespace mv
