// Draws the heat map's image: each image row is one frame and each pixel one
// value's colour; along a row the shader blends the colours of neighbouring
// values, so a frame of few values still gives a smooth band.
#pragma once

#include <QSGMaterialShader>

class QSGTexture;

class Shader : public QSGMaterialShader {
public:
    struct State {
        // The image of coloured values; owned by the material.
        QSGTexture* texture = nullptr;
        // The texture distance between two neighbouring values: 1 / (values - 1).
        float xScale = 1.0f;
    };

    const char* const* attributeNames() const override;
    void updateState(const RenderState& state, QSGMaterial* newMaterial, QSGMaterial* oldMaterial) override;

protected:
    const char* vertexShader() const override;
    const char* fragmentShader() const override;
    void initialize() override;

private:
    int m_matrixId = -1;
    int m_opacityId = -1;
    int m_xScaleId = -1;
    int m_colorTableId = -1;
};
