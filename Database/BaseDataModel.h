#pragma once

// The base of the table models: stateless objects that run their tables' SQL on the shared
// connection. The one hook is the schema upgrade; a model without upgrade steps answers NO.
class BaseDataModel {
public:
    virtual ~BaseDataModel() = default;
    virtual bool updateVersion() { return false; }
};
