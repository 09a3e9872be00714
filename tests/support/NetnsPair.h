#pragma once

#include <string>

#include "tests/support/TestSupport.h"

// Two namespaces joined by veth (A: VethA, MAC 02:77:00:00:00:01; B: VethB, ...:02), deleted with the object.
class NetnsPair {
public:
    // Why namespaces cannot be built here, or empty when they can.
    static std::string Unavailable();

    // With addresses, A gets 10.77.0.1/24 and B 10.77.0.2/24. Throws std::runtime_error on failure.
    explicit NetnsPair(bool addresses = true);
    ~NetnsPair();
    NetnsPair(const NetnsPair&) = delete;
    NetnsPair& operator=(const NetnsPair&) = delete;

    const std::string& A() const { return m_a; }
    const std::string& B() const { return m_b; }
    const std::string& VethA() const { return m_vethA; }
    const std::string& VethB() const { return m_vethB; }
    unsigned IndexA() const { return m_indexA; } // VethA's interface index inside A

    // Runs a command with "ip -n <namespace>" prefixed; returns its exit code, output in *output.
    int Ip(const std::string& ns, const std::string& arguments, std::string* output = nullptr) const;

    // Moves the calling thread into namespace A; Leave returns it to where it was.
    void EnterA();
    void Leave();

private:
    std::string m_a, m_b, m_vethA, m_vethB;
    unsigned m_indexA = 0;
    testsupport::NamespaceEntry m_entry;
};
