function interrupt_session()
  % The Octave side of the interrupt test (run_interrupt_test.sh): a long
  % solve whose third Jacobian evaluation waits until the test has sent
  % SIGINT; the solve must end with status 0 and the session must go on.
  write_options();
  slow_cubic([], 'reset');
  z = 100;
  [status, time, F] = mcpgate(1, 1, z, -Inf, Inf, 'slow_cubic');
  expect(status == 0, 'interrupted solve reported status %g', status);
  expect_log('EXIT - user interrupt');
  expect(isfinite(z) && z > 1 && abs(F - z^3) <= 1e-12 * z^3, 'point and F after the interrupt');

  z = [0; 0];
  [status, time, F] = mcpgate(2, 2, z, [0; 0], [Inf; Inf], 'shifted_identity');
  expect(status == 1 && norm(z - [1; 2]) < 1e-8, 'solve after the interrupt');
  printf('PASSED interrupted solve\n');
  fflush(stdout);

  % Octave's own interrupt handling must work again: the test interrupts
  % this wait.
  fclose(fopen('idle.flag', 'w'));
  pause(60);
  printf('IDLE WAIT FINISHED\n');
end
