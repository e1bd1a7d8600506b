#include "ColormapMaterial.hpp"

#include <QSGTexture>

ColormapMaterial::ColormapMaterial()
{
    setFlag(Blending);
}

ColormapMaterial::~ColormapMaterial()
{
    delete m_state.texture;
}

QSGMaterialType* ColormapMaterial::type() const
{
    static QSGMaterialType type;
    return &type;
}

QSGMaterialShader* ColormapMaterial::createShader() const
{
    return new Shader;
}

int ColormapMaterial::compare(const QSGMaterial* other) const
{
    const Shader::State& theirs = static_cast<const ColormapMaterial*>(other)->m_state;
    if (m_state.texture != theirs.texture)
        return m_state.texture < theirs.texture ? -1 : 1;
    if (m_state.xScale != theirs.xScale)
        return m_state.xScale < theirs.xScale ? -1 : 1;
    return 0;
}

void ColormapMaterial::setTexture(QSGTexture* texture)
{
    if (texture == m_state.texture)
        return;
    delete m_state.texture;
    m_state.texture = texture;
}
