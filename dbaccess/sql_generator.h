// One generator (sequence) of the target database with a stored procedure of the same name that
// draws from it. Both are created on first use when missing.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "dbaccess/provider.h"

namespace zbpv {

class TSQLGenerator {
public:
    TSQLGenerator() = default;
    TSQLGenerator(TKVDBProvider* provider, const std::string& name, bool canChange = false);

    const std::string& Generatorname() const { return name_; }
    void SetGeneratorname(const std::string& name); // stored upper-cased; discards the preparation
    bool CanChange = false;
    // Not owned. Once that provider is destroyed this is nullptr and NextValue raises an error.
    TKVDBProvider* KVDBProvider() const { return providerAlive_.expired() ? nullptr : provider_; }
    void SetKVDBProvider(TKVDBProvider* provider); // discards the preparation
    std::function<void(TSQLGenerator&)> AfterCreateGen;

    // The next value (the generator advances by one).
    std::int32_t NextValue();
    // Sets the generator so that the next NextValue returns `value`. Needs CanChange.
    void SetValue(std::int32_t value);

    bool Prepared() const { return prepared_; }

private:
    void Prepare();
    void Unprepare();
    TKVDBProvider& Provider();
    // Prepares when not prepared, or again when the provider has switched to another factory (the
    // stored procedure object belongs to the factory that made it).
    void EnsurePrepared();

    std::string name_;
    TKVDBProvider* provider_ = nullptr;
    std::weak_ptr<const void> providerAlive_;
    TKVDBProviderFactory* preparedFactory_ = nullptr;
    bool prepared_ = false;
    bool generatorExists_ = false, procedureExists_ = false;
    std::unique_ptr<TKVDBStoredProc> proc_;
};

} // namespace zbpv
