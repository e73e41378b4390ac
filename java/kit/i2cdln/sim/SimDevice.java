package i2cdln.sim;

import java.lang.annotation.Documented;
import java.lang.annotation.Retention;
import java.lang.annotation.RetentionPolicy;
import java.lang.annotation.Target;

/**
 * A device model written in Java, attached to the simulator of a test class through
 * {@link SimulatedRobot#devices()}:
 *
 * <pre>{@code
 * @SimulatedRobot(devices = @SimDevice(i2c = 0x49, model = Thermometer.class))
 * }</pre>
 *
 * <p>The kit makes one instance of the model class (with its constructor that takes no
 * arguments) for the test class, and serves it from before the first test to after the last.
 */
@Documented
@Retention(RetentionPolicy.RUNTIME)
@Target({})
public @interface SimDevice {
    /**
     * The I2C address the model answers at, 0..127, for an {@link I2cDeviceModel}; -1 for an
     * SPI device.
     *
     * @return the 7-bit address
     */
    int i2c() default -1;

    /**
     * The SPI slave-select line, 0..3, for an {@link SpiDeviceModel}; -1 for an I2C device.
     *
     * @return the line
     */
    int spi() default -1;

    /**
     * The model's class: an {@link I2cDeviceModel} for {@link #i2c()}, an
     * {@link SpiDeviceModel} for {@link #spi()}.
     *
     * @return the class, with a constructor that takes no arguments
     */
    Class<? extends DeviceModel> model();
}
