// For tests: a process-wide platform service (the file system, the new-tree
// service, the net service) replaced for the lifetime of an object, then the
// previous one put back. Each service's header names its own kind, e.g.
//   using ScopedNetServiceForTesting =
//       ScopedServiceForTesting<NetService, setNetServiceForTesting>;
//
// Thread-safety: installing a service is not meant to race with its use.
// Ownership: the installed service stays owned by the test.
#ifndef KORVA_PLATFORM_SCOPED_SERVICE_H_
#define KORVA_PLATFORM_SCOPED_SERVICE_H_

namespace korva {

template <typename Service, Service* (*Install)(Service*)>
class ScopedServiceForTesting {
 public:
  explicit ScopedServiceForTesting(Service* service) : previous_(Install(service)) {}
  ~ScopedServiceForTesting() { Install(previous_); }
  ScopedServiceForTesting(const ScopedServiceForTesting&) = delete;
  ScopedServiceForTesting& operator=(const ScopedServiceForTesting&) = delete;

 private:
  Service* previous_;
};

}  // namespace korva

#endif  // KORVA_PLATFORM_SCOPED_SERVICE_H_
