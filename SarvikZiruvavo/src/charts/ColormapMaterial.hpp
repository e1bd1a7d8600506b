// The heat map's material: the Shader and its state, the image texture (owned)
// and the distance between neighbouring values.
#pragma once

#include "Shader.hpp"

#include <QSGMaterial>

class ColormapMaterial : public QSGMaterial {
public:
    ColormapMaterial();
    ~ColormapMaterial() override;
    ColormapMaterial(const ColormapMaterial&) = delete;
    ColormapMaterial& operator=(const ColormapMaterial&) = delete;

    QSGMaterialType* type() const override;
    QSGMaterialShader* createShader() const override;
    int compare(const QSGMaterial* other) const override;

    const Shader::State& state() const { return m_state; }
    // Takes the texture and deletes the one it replaces.
    void setTexture(QSGTexture* texture);
    void setXScale(float xScale) { m_state.xScale = xScale; }

private:
    Shader::State m_state;
};
